#pragma once

class QWidget;
class CMainFrame;
class CTopView;
class CMiddleView;
class CBottomView;
class CTopLeftView;
class CTopMiddleView;
class CTopRightView;
class CBottomLeftView;
class CBottomRightView;

// Panes find each other through the main window's splitters every time they
// need one, checking the class on the way; no pane keeps a pointer to
// another. `from` is any widget inside the main window; without it the main
// window is looked for among the application's windows.

CMainFrame* GetMainFrame(const QWidget* from = nullptr);
/// Row `row` (0 to 2) of the main splitter.
QWidget* GetRowPane(int row, const QWidget* from = nullptr);
/// Column `column` of row 0 or 2.
QWidget* GetColumnPane(int row, int column, const QWidget* from = nullptr);

CTopView* GetTopView(const QWidget* from = nullptr);
CMiddleView* GetMiddleView(const QWidget* from = nullptr);
CBottomView* GetBottomView(const QWidget* from = nullptr);
CTopLeftView* GetTopLeftView(const QWidget* from = nullptr);
CTopMiddleView* GetTopMiddleView(const QWidget* from = nullptr);
CTopRightView* GetTopRightView(const QWidget* from = nullptr);
CBottomLeftView* GetBottomLeftView(const QWidget* from = nullptr);
CBottomRightView* GetBottomRightView(const QWidget* from = nullptr);
