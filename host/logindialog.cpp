#include "host/logindialog.h"

#include "framework/widgets/dialogframe.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LoginDialog::LoginDialog(const QString& server, const QString& user, QWidget* parent)
    : QDialog(parent), user_(new QLineEdit(user)), password_(new QLineEdit), message_(new QLabel)
{
    krt::useDialogFrame(this);
    setWindowTitle(QStringLiteral("Entrar no servidor de aplicação"));
    setObjectName(QStringLiteral("frmLogin"));
    user_->setObjectName(QStringLiteral("edtUsuario"));
    password_->setObjectName(QStringLiteral("edtSenha"));
    password_->setEchoMode(QLineEdit::Password);
    user_->setMaxLength(40);
    message_->setObjectName(QStringLiteral("lblMensagem"));
    message_->setStyleSheet(QStringLiteral("color: #b00000"));
    message_->setWordWrap(true);
    message_->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Servidor:"), new QLabel(server));
    form->addRow(QStringLiteral("&Usuário:"), user_);
    form->addRow(QStringLiteral("&Senha:"), password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Entrar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addLayout(form);
    layout->addWidget(buttons);
    (user.isEmpty() ? user_ : password_)->setFocus();
}

QString LoginDialog::user() const
{
    return user_->text().trimmed();
}

QString LoginDialog::password() const
{
    return password_->text();
}

void LoginDialog::setMessage(const QString& text)
{
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}
