// The Qt side of property sheets: the tab widget and the holder each tab's page window goes in.
#pragma once

#include <QTabWidget>
#include <QWidget>

class CPageHolder : public QWidget {
public:
    using QWidget::QWidget;
};

class CSheetTabs : public QTabWidget {
public:
    using QTabWidget::QTabWidget;
    // Every tab holds a CPageHolder (the sheet adds no other kind).
    CPageHolder* Holder(int index) const { return static_cast<CPageHolder*>(widget(index)); }
};
