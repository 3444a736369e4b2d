#include "app/labeled_edit.h"

#include <QEvent>
#include <QLabel>

namespace {
constexpr int labelSpacing = 3;
}

TLabeledEdit::TLabeledEdit(QWidget* parent)
    : QLineEdit(parent), label_(new QLabel(parent))
{
    label_->setBuddy(this);
}

void TLabeledEdit::setLabelText(const QString& text)
{
    label_->setText(text);
    label_->resize(label_->sizeHint().width(), label_->height());
}

void TLabeledEdit::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        label_->setEnabled(isEnabled());
    QLineEdit::changeEvent(event);
}

void TLabeledEdit::moveEvent(QMoveEvent* event)
{
    placeLabel();
    QLineEdit::moveEvent(event);
}

void TLabeledEdit::placeLabel()
{
    label_->move(x(), y() - label_->height() - labelSpacing);
}
