#pragma once

#include <QLineEdit>

class QLabel;

// A single-line edit with its own label above it; the label follows the
// edit's position and enabled state.
class TLabeledEdit : public QLineEdit {
public:
    explicit TLabeledEdit(QWidget* parent);

    QLabel* EditLabel() const { return label_; }
    // Sets the label's text; the label takes the width of its text.
    void setLabelText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void placeLabel();

    QLabel* label_;
};
