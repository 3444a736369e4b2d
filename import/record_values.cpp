#include "import/record_values.h"

#include "platform/paradox/value.h"
#include "platform/xml/document.h"
#include "rules/text_padding.h"

#include <algorithm>

QString trimmedText(const xml::Element& element) { return trimControls(QString::fromStdString(element.text())); }

db::DateTime today()
{
    const QDate d = QDate::currentDate();
    return {paradox::dateFromYmd(d.year(), d.month(), d.day()).days, 0};
}

void setText(db::Query& query, const char* name, const QString& value)
{
    query.paramByName(name).setAsString(value.toStdString());
}

int32_t nextFreeCode(db::Query& query, const char* lookup, int32_t last)
{
    int32_t code = std::max(last, 0);
    for (size_t found = 1; found > 0 && code <= largestCode;) {
        ++code;
        query.close();
        query.clearSql();
        query.addSql(lookup);
        query.param(0).setAsString(InteiroComZeros(code, 6).toStdString());
        query.open();
        found = query.recordCount();
        query.close();
    }
    return code;
}
