#pragma once

#include <QStatusBar>
#include <vector>

class QLabel;

// A status bar of fixed-width panels; the last panel extends to the right edge.
class TStatusBar : public QStatusBar {
public:
    TStatusBar(QWidget* parent, std::initializer_list<int> widths);

    QLabel* panel(int index) const { return panels_.at(static_cast<size_t>(index)); }
    int panelCount() const { return static_cast<int>(panels_.size()); }

private:
    std::vector<QLabel*> panels_;
};
