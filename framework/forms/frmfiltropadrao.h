#pragma once

#include "framework/core/messages.h"
#include "framework/forms/formtypes.h"
#include "framework/widgets/buttonflat.h"
#include "framework/widgets/panel.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>

// The standard modal filter dialog: the group box grbFiltroPadrao on the left
// for the filter's controls, the tool panel panMenu on the right with
// panBotoes holding sbtConfirma and sbtCancel, and the screen-code label
// lblCodTela.
//
// ShowModal() runs the dialog through the host's execModal. FormActivate runs
// on every activation, the first one before the dialog is handed to the host;
// FormClose decides what closing does (caHide by default: hidden and kept).
// sbtCancel runs the virtual sbtCancelClick, which by default closes with
// mrCancel. Button handlers run through the handler boundary.
//
// Keyboard: Enter anywhere in the dialog does what a click of sbtConfirma
// does, Esc what a click of sbtCancel does (a control that uses the key
// itself, such as a calendar or a list opened over the dialog, keeps it).
class TfrmFiltroPadrao : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFiltroPadrao(QWidget* parent = nullptr);

    QGroupBox* grbFiltroPadrao;
    TPanel* panMenu;
    TPanel* panBotoes;
    TButtonFlat* sbtConfirma;
    TButtonFlat* sbtCancel;
    QLabel* lblCodTela;
    TMessages* msgPadrao;

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    int HelpContext() const { return m_helpContext; }
    void setHelpContext(int context) { m_helpContext = context; }
    QString ScreenCode() const { return lblCodTela->text(); }
    void setScreenCode(const QString& code) { lblCodTela->setText(code); }
    // Size of the client area: the group box and the tool panel follow it.
    void setClientSize(int width, int height);

    // Shows the dialog modally; returns when it closes, with its result.
    int ShowModal();
    // Closes with a result (FormClose decides whether and how).
    void Close(int modalResult);
    void Close() { Close(result()); }
    bool isShowingModal() const { return m_showing; }
    // True while FormActivate runs for the first time since the dialog was
    // opened (ShowModal) or created; later activations of the same opening
    // (the dialog coming back to the front after a message box or a pick
    // list) see false.
    bool FirstActivation() const { return m_firstActivation; }

    virtual void FormCreate(QObject* Sender);
    virtual void FormActivate(QObject* Sender);
    virtual void FormClose(QObject* Sender, TCloseAction& Action);
    virtual void sbtCancelClick(QObject* Sender);

    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void activate();

    int m_helpContext = 0;
    bool m_showing = false;
    bool m_skipNextActivate = false;
    bool m_closing = false;
    bool m_firstActivation = true;
};
