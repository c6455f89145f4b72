#include "qt/credentials_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace kora_ui::qt {

namespace {

// Where the dialog's answer meets the waiting thread; the first answer counts.
class CredentialsReply {
  public:
    void give(CredentialsAnswer answer) {
        std::lock_guard lock(m_mutex);
        if (!m_answer) {
            m_answer = std::move(answer);
            m_given.notify_all();
        }
    }
    CredentialsAnswer wait() {
        std::unique_lock lock(m_mutex);
        m_given.wait(lock, [this] { return m_answer.has_value(); });
        return std::move(*m_answer);
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    std::optional<CredentialsAnswer> m_answer;
};

// Enter in either field submits (the accept button is the default one); Escape cancels.
QDialog* build_credentials_dialog(const CredentialsRequest& request, QWidget* window,
                                  const std::shared_ptr<CredentialsReply>& answer) {
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setMinimumWidth(360);
    dialog->setWindowTitle(QString::fromStdString(request.title()));
    dialog->setAccessibleName(QString::fromStdString(request.title()));

    auto* message = new QLabel(QString::fromStdString(request.message()), dialog);
    message->setWordWrap(true);
    auto* user = new QLineEdit(QString::fromStdString(request.suggested_user()), dialog);
    user->setAccessibleName(QStringLiteral("User name"));
    auto* password = new QLineEdit(dialog);
    password->setEchoMode(QLineEdit::Password);
    password->setAccessibleName(QStringLiteral("Password"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("User name"), user);
    form->addRow(QStringLiteral("Password"), password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QString::fromStdString(request.accept_label()));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(message);
    layout->addLayout(form);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::finished, dialog, [=](int result) {
        if (result == QDialog::Accepted) {
            answer->give({CredentialsAnswer::Kind::given,
                          user->text().toStdString(),
                          password->text().toStdString(),
                          {}});
        } else {
            answer->give({CredentialsAnswer::Kind::cancelled, {}, {}, {}});
        }
        password->clear();
    });
    // Closed with its window before an answer: the waiting thread is told.
    QObject::connect(dialog, &QObject::destroyed, [answer] {
        answer->give({CredentialsAnswer::Kind::failed, {}, {}, "the window is gone"});
    });
    (user->text().isEmpty() ? user : password)->setFocus();
    return dialog;
}

// Dropped without having run (the event loop ended first), the queued call tells the waiting thread.
struct UnansweredCredentials {
    explicit UnansweredCredentials(std::shared_ptr<CredentialsReply> answer) : answer(std::move(answer)) {}
    ~UnansweredCredentials() {
        if (!ran) {
            answer->give({CredentialsAnswer::Kind::failed, {}, {}, "the window is gone"});
        }
    }
    std::shared_ptr<CredentialsReply> answer;
    bool ran = false;
};

class CredentialsDialog final : public CredentialsBackend {
  public:
    CredentialsDialog(QObject* context, QWidget* window) : m_context(context), m_window(window) {}

    CredentialsAnswer ask(const CredentialsRequest& request) override {
        if (QThread::currentThread() == m_context->thread()) {
            return {CredentialsAnswer::Kind::failed, {}, {}, "asked on the window's own thread"};
        }
        auto answer = std::make_shared<CredentialsReply>();
        auto unanswered = std::make_shared<UnansweredCredentials>(answer);
        const bool queued = QMetaObject::invokeMethod(
            m_context,
            [request, answer, unanswered, window = m_window] {
                unanswered->ran = true;
                if (window.isNull()) {
                    answer->give({CredentialsAnswer::Kind::failed, {}, {}, "the window is gone"});
                    return;
                }
                build_credentials_dialog(request, window, answer)->open();
            },
            Qt::QueuedConnection);
        if (!queued) {
            return {CredentialsAnswer::Kind::failed, {}, {}, "the window cannot ask"};
        }
        return answer->wait();
    }

  private:
    QObject* m_context;
    QPointer<QWidget> m_window;
};

}  // namespace

std::shared_ptr<CredentialsBackend> make_credentials_dialog(QObject* gui_context, QWidget* window) {
    return std::make_shared<CredentialsDialog>(gui_context, window);
}

}  // namespace kora_ui::qt
