#include "qt/desktop.h"

#include <QClipboard>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>

#include "kora_ui/clipboard.h"

// The portal's filter list, a(sa(us)): a name and rules (0 = glob pattern, 1 = media type).
struct PortalFilterRule {
    uint kind = 0;
    QString pattern;
};
struct PortalFilter {
    QString name;
    QList<PortalFilterRule> rules;
};
using PortalFilters = QList<PortalFilter>;
Q_DECLARE_METATYPE(PortalFilterRule)
Q_DECLARE_METATYPE(PortalFilter)

QDBusArgument& operator<<(QDBusArgument& argument, const PortalFilterRule& rule) {
    argument.beginStructure();
    argument << rule.kind << rule.pattern;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalFilterRule& rule) {
    argument.beginStructure();
    argument >> rule.kind >> rule.pattern;
    argument.endStructure();
    return argument;
}
QDBusArgument& operator<<(QDBusArgument& argument, const PortalFilter& filter) {
    argument.beginStructure();
    argument << filter.name << filter.rules;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalFilter& filter) {
    argument.beginStructure();
    argument >> filter.name >> filter.rules;
    argument.endStructure();
    return argument;
}

namespace kora_ui::qt {

// Receives the portal's Request.Response signal and ends the wait.
class PortalResponse final : public QObject {
    Q_OBJECT
  public:
    QEventLoop loop;
    uint code = 2;
    QVariantMap results;
  public Q_SLOTS:
    void response(uint response_code, const QVariantMap& response_results) {
        code = response_code;
        results = response_results;
        loop.quit();
    }
};

namespace {

constexpr auto kPortalService = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

bool portal_present(const QDBusConnection& bus) {
    if (!bus.isConnected() || !bus.interface()) {
        return false;
    }
    if (bus.interface()->isServiceRegistered(kPortalService)) {
        return true;
    }
    const auto activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(kPortalService);
}

QStringList patterns_for(const FileFilter& filter) {
    static const QMimeDatabase database;
    QStringList patterns;
    for (const auto& type : filter.mimetypes()) {
        const auto mime = database.mimeTypeForName(qs(type));
        if (mime.isValid()) {
            patterns << mime.globPatterns();
        }
    }
    return patterns;
}

}  // namespace

std::optional<PickOutcome> pick_with_portal(const PickRequest& request) {
    auto bus = QDBusConnection::sessionBus();
    if (!portal_present(bus)) {
        return std::nullopt;
    }
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalFilterRule>();
        qDBusRegisterMetaType<QList<PortalFilterRule>>();
        qDBusRegisterMetaType<PortalFilter>();
        qDBusRegisterMetaType<PortalFilters>();
        return true;
    }();
    (void)registered;

    const QString token = QStringLiteral("kora%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace('.', '_');
    const QString request_path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);

    PortalResponse waiter;
    // Subscribed before the call, so a quick answer is not missed.
    bus.connect(kPortalService, request_path, "org.freedesktop.portal.Request", "Response", &waiter,
                SLOT(response(uint, QVariantMap)));

    QVariantMap options;
    options["handle_token"] = token;
    options["accept_label"] = qs(request.accept_label());
    options["modal"] = true;
    PortalFilters filters;
    for (const auto& filter : request.filters()) {
        PortalFilter entry{qs(filter.name()), {}};
        for (const auto& type : filter.mimetypes()) {
            entry.rules.append({1, qs(type)});
        }
        filters.append(entry);
    }
    if (request.includes_all_files()) {
        filters.append({QStringLiteral("All files"), {{0, QStringLiteral("*")}}});
    }
    if (!filters.isEmpty()) {
        options["filters"] = QVariant::fromValue(filters);
    }
    const bool save = request.mode() == PickRequest::Mode::save;
    if (save && request.suggested()) {
        options["current_name"] = qs(*request.suggested());
    }
    auto call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, "org.freedesktop.portal.FileChooser", save ? "SaveFile" : "OpenFile");
    call << QString() << qs(request.title()) << options;
    const auto reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        bus.disconnect(kPortalService, request_path, "org.freedesktop.portal.Request", "Response", &waiter,
                       SLOT(response(uint, QVariantMap)));
        return std::nullopt;
    }
    const auto handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != request_path) {
        // An older portal that ignores handle_token: listen on the path it gave.
        bus.connect(kPortalService, handle, "org.freedesktop.portal.Request", "Response", &waiter,
                    SLOT(response(uint, QVariantMap)));
    }
    waiter.loop.exec();
    if (waiter.code == 1) {
        return PickOutcome{PickOutcome::Kind::cancelled, {}, {}};
    }
    if (waiter.code != 0) {
        return PickOutcome{PickOutcome::Kind::failed, {}, "the file chooser ended without an answer"};
    }
    const auto uris = waiter.results.value("uris").toStringList();
    if (uris.isEmpty()) {
        return PickOutcome{PickOutcome::Kind::cancelled, {}, {}};
    }
    const QUrl url(uris.first());
    if (!url.isLocalFile()) {
        return PickOutcome{PickOutcome::Kind::failed, {}, "the chosen file is not a local file"};
    }
    // The path's own bytes: a name that is not UTF-8 arrives percent-encoded and must not pass through text.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return PickOutcome{PickOutcome::Kind::path, path.toStdString(), {}};
}

PickOutcome pick_with_dialog(const PickRequest& request) {
    QFileDialog dialog(nullptr, qs(request.title()));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setLabelText(QFileDialog::Accept, qs(request.accept_label()));
    const bool save = request.mode() == PickRequest::Mode::save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList names;
    for (const auto& filter : request.filters()) {
        const auto patterns = patterns_for(filter);
        names << QStringLiteral("%1 (%2)").arg(qs(filter.name()),
                                               patterns.isEmpty() ? "*" : patterns.join(' '));
    }
    if (request.includes_all_files() || names.isEmpty()) {
        names << QStringLiteral("All files (*)");
    }
    dialog.setNameFilters(names);
    if (save && request.suggested()) {
        dialog.selectFile(qs(*request.suggested()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {PickOutcome::Kind::cancelled, {}, {}};
    }
    return {PickOutcome::Kind::path, QFile::encodeName(dialog.selectedFiles().first()).toStdString(), {}};
}

namespace {
class DesktopPicker final : public PickerBackend {
  public:
    DesktopPicker(QObject* context, bool use_portal) : m_context(context), m_use_portal(use_portal) {}
    PickOutcome pick(const PickRequest& request) override {
        PickOutcome outcome{PickOutcome::Kind::failed, {}, "the window is gone"};
        auto run = [&] {
            std::optional<PickOutcome> answered;
            if (m_use_portal) {
                answered = pick_with_portal(request);
            }
            outcome = answered ? *answered : pick_with_dialog(request);
        };
        if (QThread::currentThread() == m_context->thread()) {
            run();
        } else if (!QMetaObject::invokeMethod(m_context, run, Qt::BlockingQueuedConnection)) {
            return {PickOutcome::Kind::failed, {}, "the file picker could not be shown"};
        }
        return outcome;
    }

  private:
    QObject* m_context;
    bool m_use_portal;
};
}  // namespace

std::shared_ptr<PickerBackend> make_desktop_picker(QObject* gui_context, bool use_portal) {
    return std::make_shared<DesktopPicker>(gui_context, use_portal);
}

void install_clipboard_backend(QObject* gui_context) {
    text_selection::set_clipboard_backend([gui_context](const std::string& text) {
        auto copy = [value = qs(text)] {
            QGuiApplication::clipboard()->setText(value);
        };
        if (QThread::currentThread() == gui_context->thread()) {
            copy();
        } else {
            QMetaObject::invokeMethod(gui_context, copy, Qt::QueuedConnection);
        }
    });
}

}  // namespace kora_ui::qt

#include "desktop.moc"
