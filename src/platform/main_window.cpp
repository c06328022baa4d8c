#include "platform/main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "platform/surface_pane.h"
#include "platform/surface_view.h"

namespace ba {

MainWindow::MainWindow(std::function<void()> close_requested)
    : mdi_area_(new QMdiArea(this)),
      console_dock_(new QDockWidget(tr("Console"), this)),
      waiting_(new QLabel(this)),
      question_(new QLabel(this)),
      note_(new QLabel(this)),
      selection_(new QLabel(this)),
      data_folder_label_(new QLabel(this)),
      close_requested_(std::move(close_requested)) {
  setWindowTitle(QStringLiteral("beat analyser"));
  mdi_area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_area_);
  add_console_dock();
  add_status_lines();
  add_file_menu();
  add_view_menu();
  marking_menu_ = menuBar()->addMenu(tr("&Marking"));
  add_window_menu();
  add_help_menu();
}

void MainWindow::add_console_dock() {
  // Beside or under the windows, so that what the console says stays in
  // sight of the window the program waits on; it cannot be closed, only moved.
  console_dock_->setObjectName(QStringLiteral("console"));
  console_dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  console_dock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
  addDockWidget(Qt::BottomDockWidgetArea, console_dock_);
}

// The question, what the program waits for, and the note, selection and
// data folder, as lines of the status bar.
void MainWindow::add_status_lines() {
  waiting_->setObjectName(QStringLiteral("waiting"));
  question_->setObjectName(QStringLiteral("question"));
  note_->setObjectName(QStringLiteral("note"));
  selection_->setObjectName(QStringLiteral("selection"));
  data_folder_label_->setObjectName(QStringLiteral("data folder"));
  // The question has the whole width (a line of the program's is at most 80
  // characters, which fit a 1024-pixel screen at 1.5 times the usual size);
  // its line is kept while nothing is asked so that the windows above do not
  // move with each question.
  auto* texts = new QWidget(this);
  auto* lines = new QVBoxLayout(texts);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(0);
  question_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  question_->setMinimumHeight(question_->fontMetrics().height());
  lines->addWidget(question_);
  // What the program waits for has a line of its own too: beside the note
  // and the data folder it was cut at 1024 pixels and 1.5 times the usual
  // size. Only a screen narrower than the text cuts it, at its end.
  waiting_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  waiting_->setMinimumHeight(waiting_->fontMetrics().height());
  lines->addWidget(waiting_);
  auto* state = new QHBoxLayout;
  state->setSpacing(12);
  // These stay in sight until the next measurement, whatever the program asks.
  state->addWidget(note_);
  state->addWidget(selection_);
  state->addStretch(1);
  state->addWidget(data_folder_label_);
  lines->addLayout(state);
  statusBar()->addWidget(texts, 1);
  note_->hide();
  selection_->hide();
  data_folder_label_->hide();
}

void MainWindow::set_console(SurfacePane* pane) { console_dock_->setWidget(pane); }

void MainWindow::add_file_menu() {
  QMenu* menu = menuBar()->addMenu(tr("&File"));
  file_menu_ = menu;
  QAction* quit = menu->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

// Zooming changes only what is shown; clicks still answer with the surface
// pixel under the pointer.
void MainWindow::add_view_menu() {
  QMenu* menu = menuBar()->addMenu(tr("&View"));
  view_menu_ = menu;
  auto add = [this, menu](const QString& text, const QList<QKeySequence>& keys,
                          void (SurfacePane::*zoom)()) {
    QAction* action = menu->addAction(text, this, [this, zoom] {
      if (SurfacePane* pane = current_pane()) (pane->*zoom)();
    });
    action->setShortcuts(keys);
  };
  add(tr("Zoom to &fit"), {}, &SurfacePane::zoom_to_fit);
  add(tr("&Actual size"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, &SurfacePane::actual_size);
  // Ctrl+= too: on most keyboards + is the shifted =.
  add(tr("Zoom &in"),
      {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
      &SurfacePane::zoom_in);
  add(tr("Zoom &out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &SurfacePane::zoom_out);
}

// The children overlap, so the person needs a way to look at a covered,
// hidden or minimised one. Looking at a window does not change the window
// the program reads from.
void MainWindow::add_window_menu() {
  QMenu* menu = menuBar()->addMenu(tr("&Window"));
  connect(menu, &QMenu::aboutToShow, this, [this, menu] { fill_window_menu(menu); });
}

void MainWindow::fill_window_menu(QMenu* menu) {
  menu->clear();
  menu->addAction(tr("&Cascade"), mdi_area_, &QMdiArea::cascadeSubWindows);
  menu->addAction(tr("&Tile"), mdi_area_, &QMdiArea::tileSubWindows);
  menu->addSeparator();
  auto* shown = new QActionGroup(menu);
  QAction* console = menu->addAction(console_dock_->windowTitle(), this, [this] {
    console_dock_->show();
    console_dock_->raise();
    if (console_dock_->widget()) console_dock_->widget()->setFocus();
  });
  console->setCheckable(true);
  console->setChecked(console_dock_->widget() && console_dock_->widget()->hasFocus());
  shown->addAction(console);
  for (QMdiSubWindow* child : mdi_area_->subWindowList(QMdiArea::CreationOrder)) {
    QAction* item = menu->addAction(child->windowTitle(), this, [child] {
      if (auto* window = qobject_cast<ChildWindow*>(child))
        window->bring_to_front();
      else
        bring_to_front(*child);
    });
    item->setCheckable(true);
    item->setChecked(!console->isChecked() && child == mdi_area_->activeSubWindow());
    shown->addAction(item);
  }
}

void MainWindow::add_help_menu() {
  QMenu* menu = menuBar()->addMenu(tr("&Help"));
  menu->addAction(tr("&About beat analyser"), this,
                  [this] { QMessageBox::about(this, tr("About beat analyser"), about_text()); });
}

QString MainWindow::about_text() const {
  return tr("beat analyser %1\n"
            "Measures the QRST area of the mapping leads over every beat of a body-surface ECG "
            "recording that has the shape of a chosen reference beat.\n\n"
            "Licence: MIT.\n"
            "Data folder d:\\data\\map\\ is %2")
      .arg(QStringLiteral(BEAT_VERSION), data_folder_);
}

void MainWindow::set_data_folder(const QString& folder) {
  data_folder_ = folder;
  // A deep folder is cut in its middle; the tooltip names it whole.
  const QString shown = data_folder_label_->fontMetrics().elidedText(
      folder, Qt::ElideMiddle, data_folder_label_->fontMetrics().averageCharWidth() * 32);
  data_folder_label_->setText(tr("Data folder: %1").arg(shown));
  data_folder_label_->setToolTip(folder);
  data_folder_label_->setVisible(!folder.isEmpty());
  emit data_folder_changed(folder);
}

SurfacePane* MainWindow::current_pane() {
  if (auto* console = qobject_cast<SurfacePane*>(console_dock_->widget());
      console && console->view().hasFocus())
    return console;
  if (auto* child = qobject_cast<ChildWindow*>(mdi_area_->activeSubWindow())) return &child->pane();
  return nullptr;
}

void MainWindow::show_waiting(const QString& what) {
  waiting_->setText(what);
  waiting_->repaint();
}

void MainWindow::show_question(const QString& question) {
  question_->setText(question.isEmpty() ? QString() : tr("Asked: %1").arg(question));
}

void MainWindow::show_instruction(const QString& instruction) { question_->setText(instruction); }

void MainWindow::show_note(const QString& note) {
  note_->setText(note);
  note_->setVisible(!note.isEmpty());
}

void MainWindow::show_selection(const QString& selection) {
  selection_->setText(selection);
  selection_->setVisible(!selection.isEmpty());
}

QString MainWindow::waiting_text() const { return waiting_->text(); }

QString MainWindow::question_text() const { return question_->text(); }

QString MainWindow::note_text() const { return note_->text(); }

QString MainWindow::selection_text() const { return selection_->text(); }

QString MainWindow::data_folder_text() const { return data_folder_label_->text(); }

void MainWindow::close_at_end() {
  ending_ = true;
  close();
}

QString MainWindow::close_question() const {
  return results_saved_ ? tr("The results are saved. End the program now?")
                        : tr("The analysis has not ended. End the program now?");
}

bool MainWindow::ask_before_closing() {
  if (confirm_close_) return confirm_close_();
  QMessageBox box(QMessageBox::Question, tr("beat analyser"), close_question(),
                  QMessageBox::NoButton, this);
  QPushButton* yes = box.addButton(tr("&Yes"), QMessageBox::YesRole);
  box.setDefaultButton(box.addButton(tr("&No"), QMessageBox::NoRole));
  box.exec();
  return box.clickedButton() == yes;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  if (!ask_before_closing()) {
    event->ignore();
    return;
  }
  if (close_requested_) close_requested_();
  event->accept();
}

ChildWindow::ChildWindow(SurfacePane* pane, const QString& caption) : pane_(pane) {
  setWidget(pane);
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  pane->zoom_to_fit();
}

SurfaceView& ChildWindow::view() { return pane_->view(); }

void bring_to_front(QMdiSubWindow& child) {
  if (child.isMinimized()) child.showNormal();
  if (!child.isVisible()) child.show();
  child.raise();
  if (child.mdiArea()) child.mdiArea()->setActiveSubWindow(&child);
}

void ChildWindow::bring_to_front() {
  ba::bring_to_front(*this);
  view().setFocus();
}

void ChildWindow::close_by_program() {
  closing_ = true;
  close();
}

void ChildWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    QMdiSubWindow::closeEvent(event);
    return;
  }
  event->ignore();
  hide();
}

}  // namespace ba
