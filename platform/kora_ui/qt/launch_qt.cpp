// kora_ui::launch::run_or_exit on the Qt host: the toolkit's command line, the window, the desktop
// backends, the actions export and the event loop.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "kora_ui/clipboard.h"
#include "kora_ui/credentials.h"
#include "kora_ui/launch.h"
#include "kora_ui/notifications.h"
#include "kora_ui/picker.h"
#include "kora_ui/runtime_dir.h"
#include "qt/actions_bus.h"
#include "qt/credentials_dialog.h"
#include "qt/desktop.h"
#include "qt/host.h"
#include "qt/icons.h"
#include "qt/notifications.h"
#include "qt/qstrings.h"
#include "qt/qt_translations.h"
#include "qt/style.h"

namespace kora_ui::launch {

namespace {

using namespace std::chrono_literals;
constexpr auto kSettleQuiet = 300ms;
constexpr auto kSettleLimit = 15s;

struct CommandLine {
    std::optional<std::string> surface;
    std::optional<std::string> screenshot;
    bool help = false;
    bool version = false;
    std::vector<char*> rest;  // what Qt may read (the program name first)
    std::string error;
};

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    line.rest.push_back(argc > 0 ? argv[0] : const_cast<char*>("kora-app"));
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value_of = [&](const std::string& flag, std::optional<std::string>& into) {
            if (argument == flag) {
                if (i + 1 >= argc) {
                    line.error = qt::tq("{} needs a value", {QString::fromStdString(flag)}).toStdString();
                    return true;
                }
                into = argv[++i];
                return true;
            }
            if (argument.starts_with(flag + "=")) {
                into = argument.substr(flag.size() + 1);
                return true;
            }
            return false;
        };
        if (value_of("--surface", line.surface) || value_of("--screenshot", line.screenshot)) {
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (argument == "--version") {
            line.version = true;
            continue;
        }
        line.rest.push_back(argv[i]);
    }
    line.rest.push_back(nullptr);
    return line;
}

bool has_display() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const char* value = std::getenv(name); value && *value) {
            return true;
        }
    }
    return false;
}

// A platform that needs no desktop session was asked for (tests use offscreen).
bool headless_platform_requested() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform) {
        return false;
    }
    const std::string name = platform;
    return name.starts_with("offscreen") || name.starts_with("minimal") || name.starts_with("vnc") ||
           name.starts_with("linuxfb") || name.starts_with("eglfs");
}

// Qt complains on standard error when this is missing; give it a private one. One that someone else made
// first is not used: Qt then falls back to its own.
void ensure_runtime_directory() {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) {
        return;
    }
    const std::string path = "/tmp/kora-runtime-" + std::to_string(getuid());
    if (claim_runtime_directory(path, getuid())) {
        setenv("XDG_RUNTIME_DIR", path.c_str(), 0);
    }
}

// The smallest window the narrow layout still works in.
constexpr QSize kMinimumWindow(380, 480);

// The asked size, made smaller where the screen's free area is smaller, centred in that area.
void place_within_screen(QWidget& window, QSize wanted) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        window.resize(wanted);
        return;
    }
    const QRect free = screen->availableGeometry();
    // Room for the window manager's frame around the content.
    const QSize room = free.size() - QSize(16, 48);
    const QSize size = wanted.boundedTo(room).expandedTo(kMinimumWindow);
    window.resize(size);
    window.move(free.x() + std::max(0, (free.width() - size.width()) / 2),
                free.y() + std::max(0, (free.height() - size.height()) / 2));
}

// "org.kora.presswick" -> "presswick": what the user types and sees.
std::string program_name(const std::string& application_id) {
    const auto dot = application_id.rfind('.');
    return dot == std::string::npos ? application_id : application_id.substr(dot + 1);
}

std::string help_text(const LaunchDescriptor& descriptor) {
    const auto name = QString::fromStdString(program_name(descriptor.application_id));
    QString surfaces;
    for (const auto& surface : descriptor.surfaces) {
        surfaces += (surfaces.isEmpty() ? "" : ", ") + QString::fromStdString(surface);
    }
    QString text =
        qt::tq(
            "usage: {} [--surface NAME] [--screenshot FILE]\n"
            "       {} --help | --version\n",
            {name, name}) +
        "\n" +
        qt::tq(
            "Opens the {} window. When it is already open, a second start raises that window "
            "instead.\n",
            {name}) +
        "\n" +
        qt::tq(
            "  --surface NAME     open the window on one screen filled with sample data\n"
            "  --screenshot FILE  render the window to the PNG file FILE and end (needs no display)\n"
            "  --help             show this text\n"
            "  --version          show the version\n");
    if (!surfaces.isEmpty()) {
        text += "\n" + qt::tq("Surfaces: {}\n", {surfaces});
    }
    text += "\n" + qt::tq("The window's actions are on the session bus as {} (see {}-actions).\n",
                          {QString::fromStdString(descriptor.application_id), name});
    return text.toStdString();
}

std::string already_running(const LaunchDescriptor& descriptor) {
    return qt::tq("{} is already running: its window was raised\n",
                  {QString::fromStdString(program_name(descriptor.application_id))})
        .toStdString();
}

}  // namespace

int run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv) {
    CommandLine line = parse_command_line(argc, argv);
    const char* program = argc > 0 ? argv[0] : "kora-app";
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, line.error.c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(help_text(descriptor).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s %s\n", program_name(descriptor.application_id).c_str(), KORA_APP_VERSION);
        return 0;
    }
    if (!has_display() && !headless_platform_requested()) {
        if (!line.screenshot) {
            std::fputs(
                qt::tq("{} needs a desktop session (no DISPLAY or WAYLAND_DISPLAY is set); to render the "
                       "window to a picture instead, run: {} --screenshot window.png\n",
                       {QString::fromLocal8Bit(program), QString::fromLocal8Bit(program)})
                    .toLocal8Bit()
                    .constData(),
                stderr);
            return 3;
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ensure_runtime_directory();

    int qt_argc = static_cast<int>(line.rest.size()) - 1;
    QApplication application(qt_argc, line.rest.data());
    QApplication::setApplicationName(QString::fromStdString(descriptor.application_id));
    QGuiApplication::setDesktopFileName(QString::fromStdString(descriptor.application_id));
    QApplication::setWindowIcon(qt::application_icon(descriptor.application_id));
    qt::apply_dark_theme(application);
    qt::install_qt_translations(application);
    std::setlocale(LC_NUMERIC, "C");  // QApplication took the whole locale from the environment again

    // An ordinary start while the window is open raises it; a surface or a picture is a window of its own.
    const bool single_instance = !line.screenshot && !line.surface;
    if (single_instance && qt::raise_running_instance(descriptor.application_id)) {
        std::fputs(already_running(descriptor).c_str(), stderr);
        return 0;
    }

    const SurfaceRequest request{line.surface};
    if (descriptor.before_window && *descriptor.before_window) {
        (*descriptor.before_window)();
    }
    WidgetPtr root;
    if (line.surface && descriptor.surface_root) {
        root = descriptor.surface_root(request);
    } else if (descriptor.default_root) {
        root = descriptor.default_root();
    }
    if (!root) {
        std::fprintf(stderr, "%s: the application gave no window content\n", program);
        return 1;
    }
    const WindowSize size = descriptor.window_size ? descriptor.window_size(request) : WindowSize{1280, 800};
    std::unique_ptr<persist::Store> store;
    if (descriptor.persist_open) {
        store = descriptor.persist_open(descriptor.application_id);
    }

    auto host = std::make_unique<qt::Host>(std::move(root));
    host->setWindowTitle(QString::fromStdString(
        descriptor.application_id.substr(descriptor.application_id.rfind('.') == std::string::npos
                                             ? 0
                                             : descriptor.application_id.rfind('.') + 1)));
    if (!host->windowTitle().isEmpty()) {
        auto title = host->windowTitle();
        title[0] = title[0].toUpper();
        host->setWindowTitle(title);
    }
    host->setMinimumSize(kMinimumWindow);
    const QSize wanted(static_cast<int>(size.first), static_cast<int>(size.second));
    if (line.screenshot) {
        host->resize(wanted);  // a picture of the asked size, whatever the (perhaps virtual) screen
    } else {
        place_within_screen(*host, wanted);
    }

    auto previous_picker = set_picker_backend(qt::make_desktop_picker(&application, host.get()));
    auto previous_credentials =
        set_credentials_backend(qt::make_credentials_dialog(&application, host.get()));
    qt::install_clipboard_backend(&application);
    auto previous_notifications = notifications::set_backend(
        line.screenshot ? nullptr
                        : qt::make_desktop_notifications(host.get(), host->windowTitle().toStdString()));

    std::unique_ptr<qt::ActionsBus> bus;
    if (!line.screenshot) {
        bus = qt::start_actions_bus(
            host->root(), descriptor.application_id, [raw = host.get()] { raw->pump(); },
            [raw = host.get()](const QVariantMap&) {
                raw->show();
                raw->setWindowState(raw->windowState() & ~Qt::WindowMinimized);
                raw->raise();
                raw->activateWindow();
            });
        // Another start took the name meanwhile: it keeps the window, this one ends.
        if (!bus && single_instance && qt::raise_running_instance(descriptor.application_id)) {
            std::fputs(already_running(descriptor).c_str(), stderr);
            (void)notifications::set_backend(std::move(previous_notifications));
            set_picker_backend(std::move(previous_picker));
            set_credentials_backend(std::move(previous_credentials));
            text_selection::set_clipboard_backend({});
            return 0;
        }
    }
    host->set_control_invocation_handler([&bus](const ControlInvocation& invocation) {
        if (bus) {
            bus->offer_control_invocation(invocation);
        }
    });

    // A logout asks first: while closing would lose work the session may not end yet, and the window
    // puts its question to the user.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, host.get(),
                     [raw = host.get()](QSessionManager& manager) {
                         if (!raw->may_end_session() && manager.allowsInteraction()) {
                             manager.cancel();
                             manager.release();
                         }
                     });

    host->show();
    if (descriptor.after_window && *descriptor.after_window) {
        (*descriptor.after_window)();
    }

    int status = 0;
    QTimer settle;
    if (line.screenshot) {
        const auto started = std::chrono::steady_clock::now();
        settle.setInterval(50ms);
        QObject::connect(&settle, &QTimer::timeout, host.get(), [&] {
            host->pump();
            const auto now = std::chrono::steady_clock::now();
            const bool quiet = !host->root().needs_idle_sync() && now - host->last_change() >= kSettleQuiet &&
                               now - started >= kSettleQuiet;
            const bool late = now - started >= kSettleLimit;
            if (!quiet && !late) {
                return;
            }
            settle.stop();
            if (late) {
                std::fprintf(stderr, "%s: the window did not settle within 15 s; taking the picture anyway\n",
                             program);
            }
            const QString file = QString::fromStdString(*line.screenshot);
            if (!host->grab().save(file, "PNG")) {
                std::fprintf(stderr, "%s: could not write %s\n", program, line.screenshot->c_str());
                status = 1;
            }
            QApplication::quit();
        });
        settle.start();
    }
    const int loop_status = QApplication::exec();
    if (descriptor.on_close && *descriptor.on_close) {
        (*descriptor.on_close)();
    }
    bus.reset();
    (void)notifications::set_backend(std::move(previous_notifications));
    host.reset();
    set_picker_backend(std::move(previous_picker));
    set_credentials_backend(std::move(previous_credentials));
    text_selection::set_clipboard_backend({});
    return status != 0 ? status : loop_status;
}

}  // namespace kora_ui::launch
