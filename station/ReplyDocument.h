#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>

// A device reply text read as an XML document: the document element's name
// and its attributes. The whole text must be well-formed; anything else
// (another kind of text, a second root, a truncated element) reads as not XML.
class ReplyDocument {
public:
    // text: the reply as the SDK delivered it, NUL-terminated, Latin-1; null reads as not XML.
    explicit ReplyDocument(const char* text);

    bool IsXml() const { return m_xml; }
    // The document element's name; empty when not XML.
    const QString& Element() const { return m_element; }
    bool IsElement(const char* name) const { return m_xml && m_element == QLatin1String(name); }

    bool Has(const char* name) const { return m_attributes.contains(QLatin1String(name)); }
    // The attribute's text; empty when absent.
    QString Text(const char* name) const { return m_attributes.value(QLatin1String(name)); }
    QByteArray Latin1(const char* name) const { return Text(name).toLatin1(); }
    // The attribute as a decimal number; 0 when absent or not a number.
    int Int(const char* name) const;
    int64_t Int64(const char* name) const;

private:
    bool m_xml = false;
    QString m_element;
    QMap<QString, QString> m_attributes;
};
