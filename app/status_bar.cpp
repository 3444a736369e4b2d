#include "app/status_bar.h"

#include <QLabel>

TStatusBar::TStatusBar(QWidget* parent, std::initializer_list<int> widths)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    size_t i = 0;
    for (int width : widths) {
        auto* label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        const bool last = ++i == widths.size();
        if (last) {
            addWidget(label, 1);
        } else {
            label->setFixedWidth(width);
            addWidget(label);
        }
        panels_.push_back(label);
    }
}
