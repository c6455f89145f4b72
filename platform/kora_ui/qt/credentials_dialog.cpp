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

#include "qt/awaited_answer.h"
#include "qt/qstrings.h"

namespace kora_ui::qt {

namespace {

// Enter in either field submits (the accept button is the default one); Escape cancels. The dialog's
// connection holds the share: closed with its window before an answer, it tells the waiting thread so.
QDialog* build_credentials_dialog(const CredentialsRequest& request, QWidget* window,
                                  const AnswerShare<CredentialsAnswer>& answer) {
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setMinimumWidth(360);
    dialog->setWindowTitle(qs(request.title()));
    dialog->setAccessibleName(qs(request.title()));

    auto* message = new QLabel(qs(request.message()), dialog);
    message->setWordWrap(true);
    auto* user = new QLineEdit(qs(request.suggested_user()), dialog);
    user->setAccessibleName(tq("User name"));
    auto* password = new QLineEdit(dialog);
    password->setEchoMode(QLineEdit::Password);
    password->setAccessibleName(tq("Password"));
    auto* form = new QFormLayout;
    form->addRow(tq("User name"), user);
    form->addRow(tq("Password"), password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(qs(request.accept_label()));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(message);
    layout->addLayout(form);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::finished, dialog, [=](int result) {
        if (result == QDialog::Accepted) {
            answer.give({CredentialsAnswer::Kind::given,
                         user->text().toStdString(),
                         password->text().toStdString(),
                         {}});
        } else {
            answer.give({CredentialsAnswer::Kind::cancelled, {}, {}, {}});
        }
        password->clear();
    });
    (user->text().isEmpty() ? user : password)->setFocus();
    return dialog;
}

class CredentialsDialog final : public CredentialsBackend {
  public:
    CredentialsDialog(QObject* context, QWidget* window) : m_context(context), m_window(window) {}

    CredentialsAnswer ask(const CredentialsRequest& request) override {
        if (QThread::currentThread() == m_context->thread()) {
            return {CredentialsAnswer::Kind::failed, {}, {}, "asked on the window's own thread"};
        }
        auto answer = std::make_shared<AwaitedAnswer<CredentialsAnswer>>();
        const bool queued = QMetaObject::invokeMethod(
            m_context,
            [request, window = m_window,
             share = AnswerShare(answer,
                                 CredentialsAnswer{CredentialsAnswer::Kind::failed, {}, {}, kWindowGone})] {
                if (!window.isNull()) {
                    build_credentials_dialog(request, window, share)->open();
                }
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
