#include "import/record_values.h"

#include "platform/paradox/value.h"
#include "platform/xml/document.h"
#include "rules/text_padding.h"


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
