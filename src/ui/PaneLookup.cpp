#include "ui/PaneLookup.h"

#include <QApplication>

#include "ui/BottomLeftView.h"
#include "ui/BottomRightView.h"
#include "ui/BottomView.h"
#include "ui/DisabledSplitter.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "ui/TopRightView.h"
#include "ui/TopView.h"

CMainFrame* GetMainFrame(const QWidget* from) {
    if (from) {
        if (auto* frame = qobject_cast<CMainFrame*>(from->window())) return frame;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* frame = qobject_cast<CMainFrame*>(top)) return frame;
    }
    return nullptr;
}

QWidget* GetRowPane(int row, const QWidget* from) {
    CMainFrame* frame = GetMainFrame(from);
    if (!frame || !frame->Splitter() || row < 0 || row >= frame->Splitter()->count()) {
        return nullptr;
    }
    return frame->Splitter()->widget(row);
}

QWidget* GetColumnPane(int row, int column, const QWidget* from) {
    QWidget* pane = GetRowPane(row, from);
    CDisabledCSplitterWnd* splitter = nullptr;
    if (auto* top = qobject_cast<CTopView*>(pane)) splitter = top->Splitter();
    if (auto* bottom = qobject_cast<CBottomView*>(pane)) splitter = bottom->Splitter();
    if (!splitter || column < 0 || column >= splitter->count()) return nullptr;
    return splitter->widget(column);
}

CTopView* GetTopView(const QWidget* from) {
    return qobject_cast<CTopView*>(GetRowPane(0, from));
}
CMiddleView* GetMiddleView(const QWidget* from) {
    return qobject_cast<CMiddleView*>(GetRowPane(1, from));
}
CBottomView* GetBottomView(const QWidget* from) {
    return qobject_cast<CBottomView*>(GetRowPane(2, from));
}
CTopLeftView* GetTopLeftView(const QWidget* from) {
    return qobject_cast<CTopLeftView*>(GetColumnPane(0, 0, from));
}
CTopMiddleView* GetTopMiddleView(const QWidget* from) {
    return qobject_cast<CTopMiddleView*>(GetColumnPane(0, 1, from));
}
CTopRightView* GetTopRightView(const QWidget* from) {
    return qobject_cast<CTopRightView*>(GetColumnPane(0, 2, from));
}
CBottomLeftView* GetBottomLeftView(const QWidget* from) {
    return qobject_cast<CBottomLeftView*>(GetColumnPane(2, 0, from));
}
CBottomRightView* GetBottomRightView(const QWidget* from) {
    return qobject_cast<CBottomRightView*>(GetColumnPane(2, 1, from));
}
