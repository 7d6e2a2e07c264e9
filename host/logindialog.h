#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// Asks for the application server's user and password at start.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    // `server` is shown so the user knows where the password goes.
    LoginDialog(const QString& server, const QString& user, QWidget* parent = nullptr);

    QString user() const;
    QString password() const;
    // A line in red above the fields (the reason of the previous refusal).
    void setMessage(const QString& text);

    QLineEdit* userEdit() const { return user_; }
    QLineEdit* passwordEdit() const { return password_; }

private:
    QLineEdit* user_;
    QLineEdit* password_;
    QLabel* message_;
};
