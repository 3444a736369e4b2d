#include "nfe/element_text.h"

#include "platform/xml/document.h"
#include "rules/text_padding.h"

QString trimmedText(const xml::Element& element) { return trimControls(QString::fromStdString(element.text())); }
