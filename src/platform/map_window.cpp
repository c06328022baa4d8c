#include "platform/map_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cohort/inputs.h"
#include "map/layout.h"

namespace ba {

// Paints the page at the widget's own size, so the map follows the window.
class MapCanvas : public QWidget {
 public:
  MapCanvas() {
    setMinimumSize(320, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
  void set_page(std::optional<MapPage> page) {
    page_ = std::move(page);
    blank_.clear();
    update();
  }
  // No map, and why.
  void set_blank(const QString& reason) {
    page_.reset();
    blank_ = reason;
    update();
  }
  const std::optional<MapPage>& page() const { return page_; }
  QString blank_reason() const {
    if (page_) return QString();
    return blank_.isEmpty() ? QCoreApplication::translate(
                                  "MapWindow", "No measured beats yet: command c measures them.")
                            : blank_;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (page_) {
      paint_map_page(painter, size(), *page_, MapDrawOptions{});
      return;
    }
    painter.fillRect(rect(), Qt::white);
    painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     blank_reason());
  }

 private:
  std::optional<MapPage> page_;
  QString blank_;
};

namespace {

// The choices in the order of the kind list; the last only with a group.
constexpr MapKind kinds[] = {MapKind::mean, MapKind::sd, MapKind::beat, MapKind::sheet,
                             MapKind::departure};
constexpr int departure_choice = 4;

// What each lead shows, in the order of the lead kind list.
constexpr LeadKind lead_kinds[] = {LeadKind::qrst, LeadKind::qrs, LeadKind::stt,
                                   LeadKind::at,   LeadKind::rt,  LeadKind::ari};

// The leads without a z named in the window's language ("lead 7", "leads
// 2-5, 9"); empty when every lead has one.
QString leads_left_out(const ReferenceGroup& group) {
  const LeadSet leads = leads_without_sd(group);
  if (leads.empty()) return QString();
  const QString numbers = QString::fromStdString(lead_runs(leads));
  return leads.size() == 1 ? QCoreApplication::translate("MapWindow", "lead %1").arg(numbers)
                           : QCoreApplication::translate("MapWindow", "leads %1").arg(numbers);
}

}  // namespace

MapWindow::MapWindow()
    : kind_choice_(new QComboBox),
      lead_kind_choice_(new QComboBox),
      beat_choice_(new QSpinBox),
      note_(new QLabel),
      canvas_(new MapCanvas),
      group_line_(new QLabel) {
  fill_choices();
  keep_focus_on_map();
  lay_out();
  connect_choices();
}

// The kinds of map, what each lead shows, and the beat.
void MapWindow::fill_choices() {
  kind_choice_->addItems({QCoreApplication::translate("MapWindow", "Mean"),
                          QCoreApplication::translate("MapWindow", "Standard deviation"),
                          QCoreApplication::translate("MapWindow", "One beat"),
                          QCoreApplication::translate("MapWindow", "All beats")});
  lead_kind_choice_->setObjectName(QStringLiteral("lead kind"));
  lead_kind_choice_->addItems({QCoreApplication::translate("MapWindow", "QRST area"),
                               QCoreApplication::translate("MapWindow", "QRS area"),
                               QCoreApplication::translate("MapWindow", "ST-T area"),
                               QCoreApplication::translate("MapWindow", "Activation time"),
                               QCoreApplication::translate("MapWindow", "Recovery time"),
                               QCoreApplication::translate("MapWindow", "ARI")});
  beat_choice_->setPrefix(QCoreApplication::translate("MapWindow", "Beat "));
  beat_choice_->setRange(1, 1);
}

void MapWindow::keep_focus_on_map() {
  // Opening or activating the window leaves the focus on the map, never in a
  // field: keys typed there are for the program's question.
  canvas_->setFocusPolicy(Qt::StrongFocus);
  for (QWidget* field :
       {static_cast<QWidget*>(lead_kind_choice_), static_cast<QWidget*>(kind_choice_),
        static_cast<QWidget*>(beat_choice_)}) {
    field->setFocusPolicy(Qt::ClickFocus);
    field->installEventFilter(this);
  }
  if (auto* edit = beat_choice_->findChild<QLineEdit*>()) edit->installEventFilter(this);
}

// The choices in a row above the map, the note between them, the line of
// the group under the map; the window's title and first size.
void MapWindow::lay_out() {
  auto* controls = new QHBoxLayout;
  controls->addWidget(lead_kind_choice_);
  controls->addWidget(kind_choice_);
  controls->addWidget(beat_choice_);
  controls->addStretch();
  auto* body = new QWidget;
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  column->addLayout(controls);
  note_->setObjectName(QStringLiteral("note"));
  note_->setWordWrap(true);
  note_->hide();
  column->addWidget(note_);
  column->addWidget(canvas_, 1);
  group_line_->setObjectName(QStringLiteral("group_line"));
  group_line_->setWordWrap(true);
  group_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  group_line_->hide();
  column->addWidget(group_line_);
  setWidget(body);
  setWindowTitle(QCoreApplication::translate("MapWindow", "QRST map"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(720, 600);
}

void MapWindow::connect_choices() {
  connect(kind_choice_, &QComboBox::currentIndexChanged, this, [this] { choice_changed(); });
  connect(lead_kind_choice_, &QComboBox::currentIndexChanged, this, [this] { choice_changed(); });
  // Stepping through the beats shows each one.
  connect(beat_choice_, &QSpinBox::valueChanged, this, [this] {
    if (kinds[kind_choice_->currentIndex()] != MapKind::beat)
      kind_choice_->setCurrentIndex(2);
    else
      choice_changed();
  });
}

QWidget* MapWindow::field_of(const QObject* watched) const {
  if (watched == kind_choice_) return kind_choice_;
  if (watched == lead_kind_choice_) return lead_kind_choice_;
  if (watched == beat_choice_ || (watched && watched->parent() == beat_choice_))
    return beat_choice_;
  return nullptr;
}

bool MapWindow::eventFilter(QObject* watched, QEvent* event) {
  if (QWidget* field = field_of(watched)) {
    const auto lasts = [](Qt::FocusReason reason) {
      // The focus leaves the whole window for a moment (a dialog, the list
      // of a choice) and comes back to where it was.
      return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    };
    if (event->type() == QEvent::MouseButtonPress) {
      clicked_ = field;
    } else if (event->type() == QEvent::FocusIn) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::MouseFocusReason) {
        clicked_ = field;
      } else {
        if (!lasts(reason)) clicked_ = nullptr;
        // Handed the focus unclicked (the window activated, restored or
        // opened): the map keeps it.
        if (clicked_ != field) canvas_->setFocus(Qt::OtherFocusReason);
      }
    }
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

bool MapWindow::takes_key(const QKeyEvent& key) const {
  const QWidget* focus = window()->focusWidget();
  if (!clicked_ || !(focus == clicked_ || clicked_->isAncestorOf(focus))) return false;
  if (key.matches(QKeySequence::SelectAll)) return clicked_ == beat_choice_;
  switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return clicked_ == beat_choice_;
    default:
      // A beat number is typed into its field.
      return clicked_ == beat_choice_ && key.text().size() == 1 && key.text().front().isDigit();
  }
}

void MapWindow::show_beats(const std::vector<ResultBeat>& beats) {
  beats_ = beats;
  const QSignalBlocker kind_quiet(kind_choice_), beat_quiet(beat_choice_);
  kind_choice_->setCurrentIndex(0);
  beat_choice_->setRange(1, std::max<int>(1, static_cast<int>(beats.size())));
  beat_choice_->setSuffix(QCoreApplication::translate("MapWindow", " of %1").arg(beats.size()));
  beat_choice_->setValue(1);
  describe_departure();
  choice_changed();
}

void MapWindow::set_group(const ReferenceGroup& group) {
  group_ = group;
  if (kind_choice_->count() <= departure_choice)
    kind_choice_->addItem(QCoreApplication::translate("MapWindow", "Departure"));
  describe_departure();
  choice_changed();
}

void MapWindow::show_departure() {
  if (kind_choice_->count() > departure_choice) kind_choice_->setCurrentIndex(departure_choice);
}

QString MapWindow::group_line() const { return group_line_->text(); }

QString MapWindow::blank_reason() const { return canvas_->blank_reason(); }

void MapWindow::describe_departure() {
  departure_.reset();
  if (!group_ || beats_.empty()) {
    group_line_->clear();
    group_line_->hide();
    return;
  }
  const LeadValues mean = mean_map(beat_maps(beats_), group_->leads);
  departure_ = departure(*group_, mean);
  const std::optional<double> ndi = non_dipolarity(kl_coefficients(*group_, mean));
  const QString none = QStringLiteral("\u2013");
  QString line;
  if (departure_->max_abs_z_lead == 0)
    line = QCoreApplication::translate("MapWindow", "NDI %1   max |z| %2")
               .arg(ndi ? QString::number(*ndi, 'f', 3) : none, none);
  else
    line = QCoreApplication::translate("MapWindow", "NDI %1   max |z| %2 at lead %3")
               .arg(ndi ? QString::number(*ndi, 'f', 3) : none,
                    QString::number(departure_->max_abs_z, 'f', 1),
                    QString::number(departure_->max_abs_z_lead));
  const QString left_out = leads_left_out(*group_);
  if (!left_out.isEmpty())
    line += QStringLiteral("   ") +
            QCoreApplication::translate("MapWindow", "%1 left out: the group gives no SD there")
                .arg(left_out);
  group_line_->setText(line);
  group_line_->show();
}

std::optional<MapPage> MapWindow::page() const { return canvas_->page(); }

void MapWindow::show_note(const QString& note) {
  note_->setText(note);
  note_->setVisible(!note.isEmpty());
}

QString MapWindow::note() const { return note_->text(); }

LeadKind MapWindow::lead_kind() const { return lead_kinds[lead_kind_choice_->currentIndex()]; }

QString MapWindow::view_name() const {
  // A kind other than QRST follows the view: "mean_at".
  const QString kind =
      lead_kind() == LeadKind::qrst
          ? QString()
          : QStringLiteral("_") + QString::fromStdString(lead_kind_name(lead_kind()));
  switch (kinds[kind_choice_->currentIndex()]) {
    case MapKind::mean:
      return QStringLiteral("mean") + kind;
    case MapKind::sd:
      return QStringLiteral("sd") + kind;
    case MapKind::beat:
      return QStringLiteral("beat%1").arg(beat_choice_->value()) + kind;
    case MapKind::sheet:
      return QStringLiteral("sheet") + kind;
    case MapKind::departure:
      return QStringLiteral("departure");
    case MapKind::difference:
      break;
  }
  return QStringLiteral("map");
}

void MapWindow::choice_changed() {
  if (beats_.empty()) {
    canvas_->set_page(std::nullopt);
    return;
  }
  if (kinds[kind_choice_->currentIndex()] == MapKind::departure) {
    if (lead_kind() != LeadKind::qrst) {
      canvas_->set_blank(QCoreApplication::translate(
          "MapWindow", "The departure view shows the QRST area: map --kind draws the others."));
      return;
    }
    auto page = make_departure_page(departure_->z, default_layout(), map_wording());
    if (auto* reason = std::get_if<std::string>(&page))
      canvas_->set_blank(QString::fromStdString(*reason));
    else
      canvas_->set_page(std::get<MapPage>(std::move(page)));
    return;
  }
  MapRequest request;
  request.kind = kinds[kind_choice_->currentIndex()];
  request.beat = beat_choice_->value();
  request.most_frames = sheet_capacity(default_map_size.width(), default_map_size.height());
  if (lead_kind() == LeadKind::qrst) {
    canvas_->set_page(make_page(beats_, default_layout(), request, map_wording()));
    return;
  }
  auto page = lead_kind_page(request);
  if (auto* reason = std::get_if<std::string>(&page))
    canvas_->set_blank(QString::fromStdString(*reason));
  else
    canvas_->set_page(std::get<MapPage>(std::move(page)));
}

// As map --kind draws it: leads timed in no beat are left out of the layout,
// times in us scaled to ms, a sequential scale with isochrones for times.
std::variant<MapPage, std::string> MapWindow::lead_kind_page(MapRequest request) const {
  if (leads_.size() != beats_.size())
    return QCoreApplication::translate("MapWindow",
                                       "No lead measures for these beats: command c measures them.")
        .toStdString();
  const LeadKind kind = lead_kind();
  KindBeats chosen = kind_beats(leads_, kind);
  LeadLayout layout = default_layout();
  for (int lead : chosen.untimed_leads) layout.leads(lead).bad = true;
  request.scale *= chosen.scale;
  request.unit = lead_kind_unit(kind);
  MapPage page = make_page(chosen.beats, layout, request, map_wording());
  shape_kind_page(page, kind);
  return page;
}

MapWindowHook::MapWindowHook(QMainWindow& main, QMdiArea& area, QMenu& file_menu, QMenu& view_menu,
                             FileOps& files)
    : main_(main), area_(area), files_(files) {
  auto* export_map = new QAction(QCoreApplication::translate("MapWindow", "Export map..."), this);
  connect(export_map, &QAction::triggered, this, [this] { export_with_dialog(); });
  file_menu.insertAction(file_menu.actions().value(0), export_map);
  file_menu.insertSeparator(file_menu.actions().value(1));
  view_menu.addSeparator();
  QAction* show = view_menu.addAction(QCoreApplication::translate("MapWindow", "QRST map"), this,
                                      [this] { open(); });
  show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  view_menu.addAction(QCoreApplication::translate("MapWindow", "Choose reference group..."), this,
                      [this] { choose_group_with_dialog(); });
}

void MapWindowHook::show_leads(const std::vector<BeatLeads>& leads) {
  leads_ = leads;
  if (window_) window_->show_leads(leads_);
}

void MapWindowHook::show_beats(const std::vector<ResultBeat>& beats) {
  beats_ = beats;
  if (window_) window_->show_beats(beats_);
}

void MapWindowHook::describe_selection(const QString& recording_name, const QString& note) {
  recording_name_ = recording_name;
  note_ = note;
  if (window_) window_->show_note(note_);
}

QString MapWindowHook::suggested_export_path() const {
  const QString view = window_ ? window_->view_name() : QStringLiteral("mean");
  const QString name =
      (recording_name_.isEmpty() ? QStringLiteral("qrst_map") : recording_name_) + '_' + view;
  const QDir folder(data_folder_.isEmpty() ? QDir::currentPath() : data_folder_);
  return folder.filePath(name + QStringLiteral(".png"));
}

MapWindow& MapWindowHook::open() {
  if (!window_) {
    window_ = new MapWindow;
    area_.addSubWindow(window_);
    window_->show_leads(leads_);
    window_->show_beats(beats_);
    if (group_) window_->set_group(*group_);
    window_->show_note(note_);
    // Wholly inside the child area, however small the screen.
    const QSize room = area_.viewport()->size();
    const QSize wanted = window_->size().boundedTo(room).expandedTo(window_->minimumSizeHint());
    window_->setGeometry(QRect(QPoint(0, 0), wanted));
    window_->show();
  }
  area_.setActiveSubWindow(window_);
  window_->raise();
  return *window_;
}

std::optional<std::string> MapWindowHook::export_to(const std::string& host_path) const {
  if (!window_ || !window_->page()) return "no map to export: command c measures the beats first";
  return save_map_file(files_, host_path, *window_->page(), default_map_size, MapDrawOptions{});
}

std::optional<std::string> MapWindowHook::choose_group(const std::string& host_path) {
  auto read = read_group_file(files_, host_path);
  if (const auto* reason = std::get_if<std::string>(&read)) return *reason;
  ReferenceGroup& group = std::get<ReferenceGroup>(read);
  const LeadLayout layout = default_layout();
  auto leads = study_leads(&layout, &group, host_path);
  if (const auto* reason = std::get_if<std::string>(&leads)) return *reason;
  group_ = std::move(group);
  MapWindow& map = open();
  map.set_group(*group_);
  map.show_departure();
  return std::nullopt;
}

void MapWindowHook::choose_group_with_dialog() {
  const QString title = QCoreApplication::translate("MapWindow", "Choose reference group");
  const QString path = QFileDialog::getOpenFileName(
      &main_, title, data_folder_.isEmpty() ? QDir::currentPath() : data_folder_,
      QCoreApplication::translate("MapWindow", "Reference group (*.ref.json);;All files (*)"));
  if (path.isEmpty()) return;
  if (auto error = choose_group(QFile::encodeName(path).toStdString()))
    QMessageBox::warning(&main_, title, QString::fromStdString(*error));
}

void MapWindowHook::export_with_dialog() {
  const QString title = QCoreApplication::translate("MapWindow", "Export map");
  if (!window_ || !window_->page()) {
    QMessageBox::information(
        &main_, title,
        QCoreApplication::translate("MapWindow", "Open View > QRST map after command c first."));
    return;
  }
  QString path = QFileDialog::getSaveFileName(
      &main_, title, suggested_export_path(),
      QCoreApplication::translate("MapWindow",
                                  "PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
  if (path.isEmpty()) return;
  std::string host_path = QFile::encodeName(path).toStdString();
  if (!map_file_type_known(host_path)) host_path += ".png";
  if (auto error = export_to(host_path))
    QMessageBox::warning(&main_, title, QString::fromStdString(*error));
}

}  // namespace ba
