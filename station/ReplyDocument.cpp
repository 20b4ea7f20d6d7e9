#include "ReplyDocument.h"

#include <QXmlStreamReader>

ReplyDocument::ReplyDocument(const char* text)
{
    if (!text)
        return;
    QXmlStreamReader reader(QString::fromLatin1(text));
    bool rootSeen = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token != QXmlStreamReader::StartElement || rootSeen)
            continue;
        rootSeen = true;
        m_element = reader.name().toString();
        for (const QXmlStreamAttribute& a : reader.attributes())
            m_attributes.insert(a.qualifiedName().toString(), a.value().toString());
    }
    m_xml = rootSeen && !reader.hasError();
    if (!m_xml) {
        m_element.clear();
        m_attributes.clear();
    }
}

int ReplyDocument::Int(const char* name) const
{
    return Text(name).trimmed().toInt();
}

int64_t ReplyDocument::Int64(const char* name) const
{
    return Text(name).trimmed().toLongLong();
}
