#include "qt/portal_pick.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QUrl>

#include "qt/qstrings.h"

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

namespace {

constexpr auto kPortalService = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";
constexpr auto kRequestInterface = "org.freedesktop.portal.Request";
// A portal that takes longer than this to accept the call is taken as absent.
constexpr int kCallTimeoutMs = 10000;
// How soon a withdrawn pick closes what it opened.
constexpr int kWithdrawalCheckMs = 100;

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

void register_filter_types() {
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalFilterRule>();
        qDBusRegisterMetaType<QList<PortalFilterRule>>();
        qDBusRegisterMetaType<PortalFilter>();
        qDBusRegisterMetaType<PortalFilters>();
        return true;
    }();
    (void)registered;
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

QVariantMap portal_options(const PickRequest& request, const QString& token) {
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
        filters.append({tq("All files"), {{0, QStringLiteral("*")}}});
    }
    if (!filters.isEmpty()) {
        options["filters"] = QVariant::fromValue(filters);
    }
    if (request.mode() == PickRequest::Mode::save && request.suggested()) {
        options["current_name"] = qs(*request.suggested());
    }
    return options;
}

}  // namespace

QString portal_parent_window(const QWidget* window) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return {};
    }
    return QStringLiteral("x11:%1").arg(window->window()->winId(), 0, 16);
}

PortalPick::PortalPick(PickRequest request, QWidget* window, QDBusConnection bus, Done done)
    : m_request(std::move(request)), m_window(window), m_bus(std::move(bus)), m_done(std::move(done)) {
    m_withdrawn.setInterval(kWithdrawalCheckMs);
    connect(&m_withdrawn, &QTimer::timeout, this, [this] {
        if (m_request.withdrawal()->withdrawn()) {
            withdraw();
        }
    });
}

PortalPick::~PortalPick() {
    for (const auto& path : m_listening) {
        m_bus.disconnect(kPortalService, path, kRequestInterface, "Response", this,
                         SLOT(response(uint, QVariantMap)));
    }
    if (!m_finished && m_done) {
        m_done({PickOutcome::Kind::failed, {}, "the window is gone"});
    }
}

void PortalPick::start(bool use_portal) {
    if (m_request.withdrawal()->withdrawn()) {
        finish({PickOutcome::Kind::cancelled, {}, {}});
        return;
    }
    m_withdrawn.start();
    if (!use_portal || !portal_present(m_bus)) {
        open_dialog();
        return;
    }
    register_filter_types();
    const QString token = QStringLiteral("kora%1").arg(QRandomGenerator::global()->generate());
    QString sender = m_bus.baseService().mid(1);
    sender.replace('.', '_');
    // Subscribed before the call, so a quick answer is not missed.
    listen(QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));

    const bool save = m_request.mode() == PickRequest::Mode::save;
    auto call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, "org.freedesktop.portal.FileChooser", save ? "SaveFile" : "OpenFile");
    call << portal_parent_window(m_window) << qs(m_request.title()) << portal_options(m_request, token);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    m_call_pending = true;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalPick::call_answered);
}

void PortalPick::watch_owner(const QString& owner) {
    if (owner.isEmpty()) {
        return;
    }
    auto* watcher = new QDBusServiceWatcher(owner, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        finish({PickOutcome::Kind::failed, {}, "the file chooser left the bus without an answer"});
    });
    // It may have gone between its reply and the watch.
    if (m_bus.interface() && !m_bus.interface()->isServiceRegistered(owner).value()) {
        finish({PickOutcome::Kind::failed, {}, "the file chooser left the bus without an answer"});
    }
}

void PortalPick::close_request(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    auto close = QDBusMessage::createMethodCall(kPortalService, path, kRequestInterface, "Close");
    close.setAutoStartService(false);
    (void)m_bus.send(close);
}

void PortalPick::withdraw() {
    if (m_finished) {
        return;
    }
    if (m_dialog) {
        m_dialog->reject();  // its handler finishes the pick
        return;
    }
    if (m_call_pending && m_handle.isEmpty()) {
        // The portal has not said which request is ours: close the one it was told to make too.
        for (const auto& path : m_listening) {
            close_request(path);
        }
    }
    close_request(m_handle);
    finish({PickOutcome::Kind::cancelled, {}, {}});
}

void PortalPick::listen(const QString& path) {
    if (m_listening.contains(path)) {
        return;
    }
    m_bus.connect(kPortalService, path, kRequestInterface, "Response", this,
                  SLOT(response(uint, QVariantMap)));
    m_listening << path;
}

void PortalPick::call_answered(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    m_call_pending = false;
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (m_finished) {
        // Withdrawn while the call was on its way: the request it made is closed as well.
        if (!reply.isError()) {
            close_request(reply.value().path());
        }
        return;
    }
    if (reply.isError()) {
        open_dialog();  // no portal took the call: the host's own dialog instead
        return;
    }
    // An older portal ignores handle_token: listen on the path it gave too.
    m_handle = reply.value().path();
    if (!m_handle.isEmpty()) {
        listen(m_handle);
    }
    watch_owner(reply.reply().service());
}

void PortalPick::response(uint code, const QVariantMap& results) {
    if (m_finished) {
        return;
    }
    if (code == 1) {
        finish({PickOutcome::Kind::cancelled, {}, {}});
        return;
    }
    if (code != 0) {
        finish({PickOutcome::Kind::failed, {}, "the file chooser ended without an answer"});
        return;
    }
    const auto uris = results.value("uris").toStringList();
    if (uris.isEmpty()) {
        finish({PickOutcome::Kind::cancelled, {}, {}});
        return;
    }
    const QUrl url(uris.first());
    if (!url.isLocalFile()) {
        finish({PickOutcome::Kind::failed, {}, "the chosen file is not a local file"});
        return;
    }
    // The path's own bytes: a name that is not UTF-8 arrives percent-encoded and must not pass through text.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    finish({PickOutcome::Kind::path, path.toStdString(), {}});
}

void PortalPick::open_dialog() {
    auto* dialog = new QFileDialog(m_window, qs(m_request.title()));
    m_dialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(m_window ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLabelText(QFileDialog::Accept, qs(m_request.accept_label()));
    const bool save = m_request.mode() == PickRequest::Mode::save;
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList names;
    for (const auto& filter : m_request.filters()) {
        const auto patterns = patterns_for(filter);
        names << QStringLiteral("%1 (%2)").arg(qs(filter.name()),
                                               patterns.isEmpty() ? "*" : patterns.join(' '));
    }
    if (m_request.includes_all_files() || names.isEmpty()) {
        names << tq("All files") + QStringLiteral(" (*)");
    }
    dialog->setNameFilters(names);
    if (save && m_request.suggested()) {
        dialog->selectFile(qs(*m_request.suggested()));
    }
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        const auto files = dialog->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty()) {
            finish({PickOutcome::Kind::cancelled, {}, {}});
        } else {
            finish({PickOutcome::Kind::path, QFile::encodeName(files.first()).toStdString(), {}});
        }
    });
    dialog->open();
}

void PortalPick::finish(PickOutcome outcome) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_withdrawn.stop();
    if (m_done) {
        m_done(std::move(outcome));
    }
    deleteLater();
}

}  // namespace kora_ui::qt
