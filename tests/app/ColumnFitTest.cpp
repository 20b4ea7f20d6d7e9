// Table columns whose last one stretches: the form's widths while the header
// texts fit, narrower ones in a narrower table, headers broken onto more lines
// when even that is too narrow; in every case no header is cut.
#include "ColumnFit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

const QStringList kHeaders = {"Total bytes", "Real Rate", "Average rate", "Result"};
const QVector<int> kFormWidths = {80, 100, 100};

// What each header needs on one line and word by word, margins included.
struct Needs {
    int line[4];
    int word[4];
};

struct FitCase {
    const char* name;
    int (*viewport)(const Needs&);
    bool formWidths;   // the first columns keep at least the form's widths
    bool wrapped;      // the headers break onto more lines
};

int Sum(const int (&values)[4])
{
    return values[0] + values[1] + values[2] + values[3];
}

void PrintTo(const FitCase& c, std::ostream* os)
{
    *os << c.name;
}

const FitCase kCases[] = {
    {"Wide", [](const Needs& n) { return 300 + Sum(n.line); }, true, false},
    {"NarrowedOnOneLine", [](const Needs& n) { return Sum(n.line) + 2; }, false, false},
    {"BrokenAtBlanks", [](const Needs& n) { return Sum(n.word) + 2; }, false, true},
};

class ColumnFitTest : public ::testing::TestWithParam<FitCase> {
protected:
    void SetUp() override
    {
        model.setHorizontalHeaderLabels(kHeaders);
        table.setModel(&model);
        table.verticalHeader()->hide();
        header = table.horizontalHeader();
        margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const QFontMetrics fm(header->font());
        for (int c = 0; c < 4; ++c) {
            needs.line[c] = fm.horizontalAdvance(kHeaders[c]) + margins;
            needs.word[c] = 0;
            for (const QString& word : kHeaders[c].split(' '))
                needs.word[c] = qMax(needs.word[c], fm.horizontalAdvance(word) + margins);
        }
        viewport = GetParam().viewport(needs);
        table.resize(viewport + 2 * table.frameWidth(), 200);
    }

    QStandardItemModel model;
    QTableView table;
    QHeaderView* header = nullptr;
    int margins = 0;
    Needs needs{};
    int viewport = 0;
};

TEST_P(ColumnFitTest, NoHeaderIsCut)
{
    const ColumnFit fit(header, kFormWidths, viewport);
    fit.Apply(header);
    table.show();

    const QFontMetrics fm(header->font());
    int used = 0;
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(kHeaders[c].toStdString());
        const int width = header->sectionSize(c);
        used += width;
        EXPECT_GE(width, GetParam().wrapped ? needs.word[c] : needs.line[c]);
        if (c < 3 && GetParam().formWidths) {
            EXPECT_GE(width, kFormWidths[c]);
        }
        const int lines = fm.boundingRect(QRect(0, 0, width - margins, 1000), Qt::TextWordWrap, kHeaders[c]).height();
        EXPECT_GE(header->height(), lines + margins);
    }
    EXPECT_LE(used, viewport);
    EXPECT_EQ(bool(header->defaultAlignment() & Qt::TextWordWrap), GetParam().wrapped);
}

INSTANTIATE_TEST_SUITE_P(Widths, ColumnFitTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
