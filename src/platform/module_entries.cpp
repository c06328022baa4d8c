// The module's table of entry points: every use of Qt and matio the
// program makes outside its tests comes through here.

#include "platform/module_entries.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <iostream>
#include <sstream>

#include "platform/headless_platform.h"
#include "platform/map_drawing.h"
#include "platform/report_pdf.h"
#include "platform/session.h"
#include "platform/translation.h"
#include "platform/window_platform.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Only Qt's own failures reach standard error; its notes about the
// environment would be noise for a driving program.
std::string qt_message_prefix = "beat_analyser: ";

void serious_qt_messages_only(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << qt_message_prefix << message.toStdString() << std::endl;
}

// Qt sees no command-line options of its own.
int qt_argc = 1;
char qt_name[] = "beat_analyser";
char* qt_argv[] = {qt_name, nullptr};

// Drawing text needs a GUI application, though nothing is shown.
std::unique_ptr<QGuiApplication> offscreen_application(const std::string& message_prefix) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qt_message_prefix = message_prefix;
  qInstallMessageHandler(serious_qt_messages_only);
  return std::make_unique<QGuiApplication>(qt_argc, qt_argv);
}

ExitStatus run_with_files(SurfacePlatform& platform, const ProgramMode& mode, FileOps& files,
                          const ProgramBody& body) {
  Io io(platform, DataFolder(mode.data_dir), files);
  return run_session(
      platform, io, [&] { body(platform, io); }, std::cerr, mode.snapshot_dir);
}

ExitStatus run_program(const ProgramMode& mode, char* program_name, FileOps& files,
                       const ProgramBody& body) {
  int argc = 1;
  char* argv[] = {program_name, nullptr};
  if (mode.headless) {
    const auto application = offscreen_application("beat_analyser: ");
    HeadlessPlatform platform(files, std::cin, std::cout);
    return run_with_files(platform, mode, files, body);
  }
  QApplication application(argc, argv);
  // The desktop knows the windows by the menu entry, and the icon by its name.
  QGuiApplication::setDesktopFileName(QStringLiteral(BEAT_APP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(BEAT_APP_ID)));
  // Menus and messages of the window in the system's language; English
  // when there is no translation for it. Qt's dialogs follow the window's
  // language, never another one.
  std::unique_ptr<QTranslator> translation = load_translation(QLocale());
  std::unique_ptr<QTranslator> qt_translation;
  if (translation) {
    QCoreApplication::installTranslator(translation.get());
    qt_translation = load_qt_translation(QLocale());
    if (qt_translation) QCoreApplication::installTranslator(qt_translation.get());
  }
  WindowPlatform platform(files);
  platform.main_window().set_data_folder(
      QString::fromStdString(std::filesystem::absolute(mode.data_dir).string()));
  return run_with_files(platform, mode, files, body);
}

std::string documents_folder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

// The print pages of a run without a window: the headless platform, whose
// console lines are dropped, started with the first page.
class QtPages : public PageDrawing {
 public:
  QtPages(FileOps& files, std::string message_prefix)
      : files_(files), message_prefix_(std::move(message_prefix)) {}
  Platform& platform() override {
    if (!platform_) {
      application_ = offscreen_application(message_prefix_);
      platform_ = std::make_unique<HeadlessPlatform>(files_, no_input_, dropped_, dropped_);
    }
    return *platform_;
  }

 private:
  FileOps& files_;
  std::string message_prefix_;
  std::istringstream no_input_;
  std::ostringstream dropped_;
  std::unique_ptr<QGuiApplication> application_;
  std::unique_ptr<HeadlessPlatform> platform_;  // goes before the application
};

std::unique_ptr<PageDrawing> page_drawing(FileOps& files, const std::string& message_prefix) {
  return std::make_unique<QtPages>(files, message_prefix);
}

std::optional<std::string> save_map(FileOps& files, const std::string& host_path,
                                    const MapPage& page, int width, int height,
                                    const MapDrawOptions& options) {
  const auto application = offscreen_application("beat_analyser: ");
  return save_map_file(files, host_path, page, QSize(width, height), options);
}

std::optional<std::string> report_pdf(
    std::size_t pages, const ReportSheetSource& sheets,
    const std::function<void(std::string_view)>& sink,
    const std::function<void(std::size_t, std::size_t)>& progress) {
  const auto application = offscreen_application("beat_analyser: ");
  return paint_study_report(pages, sheets, sink, progress);
}

}  // namespace

}  // namespace ba

extern "C" __attribute__((visibility("default")))
const ba::ModuleEntries beat_analyser_module_entries = {
    BEAT_VERSION, ba::run_program, ba::documents_folder, ba::page_drawing,
    ba::save_map, ba::report_pdf,  ba::write_mat};
