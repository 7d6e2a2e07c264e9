#include "framework/forms/frmfiltropadrao.h"

#include "framework/core/handlerboundary.h"
#include "framework/core/hostservices.h"
#include "framework/widgets/dialogframe.h"

#include <QEvent>
#include <QKeyEvent>
#include <QStyle>

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    krt::useDialogFrame(this);
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));

    grbFiltroPadrao = new QGroupBox(this);
    grbFiltroPadrao->setObjectName(QStringLiteral("grbFiltroPadrao"));

    panMenu = new TPanel(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panBotoes = new TPanel(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    panBotoes->setFrameShape(QFrame::NoFrame);

    sbtConfirma = new TButtonFlat(panBotoes);
    sbtConfirma->setObjectName(QStringLiteral("sbtConfirma"));
    sbtConfirma->setHint(QStringLiteral("Confirmar"));
    sbtConfirma->setGlyph(style()->standardIcon(QStyle::SP_DialogApplyButton));
    sbtConfirma->setIconSize(QSize(24, 24));
    sbtConfirma->setGeometry(10, 6, 36, 36);

    sbtCancel = new TButtonFlat(panBotoes);
    sbtCancel->setObjectName(QStringLiteral("sbtCancel"));
    sbtCancel->setHint(QStringLiteral("Cancelar"));
    sbtCancel->setGlyph(style()->standardIcon(QStyle::SP_DialogCancelButton));
    sbtCancel->setIconSize(QSize(24, 24));
    sbtCancel->setGeometry(10, 46, 36, 36);
    sbtCancel->OnClick = [this](QObject* s) { sbtCancelClick(s); };

    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    QFont small = lblCodTela->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    lblCodTela->setFont(small);

    setClientSize(377, 156);
}

void TfrmFiltroPadrao::setClientSize(int width, int height)
{
    const int panelWidth = 55;
    setFixedSize(width, height);
    grbFiltroPadrao->setGeometry(0, 0, width - panelWidth, height);
    panMenu->setGeometry(width - panelWidth, 0, panelWidth, height);
    panBotoes->setGeometry(0, 0, panelWidth, 92);
    lblCodTela->setGeometry(1, height - 20, panelWidth - 2, 17);
}

int TfrmFiltroPadrao::ShowModal()
{
    setResult(0);
    m_showing = true;
    m_closing = false;
    // The first activation is run here so that the dialog is filled before
    // the host (or a test's driver) gets it; the window's own activation
    // event that follows is then not a new one.
    m_skipNextActivate = true;
    m_firstActivation = true;
    activate();
    int r = 0;
    try {
        r = krt::hostServices().execModal(*this);
    } catch (...) {
        m_showing = false;
        m_skipNextActivate = false;
        throw;
    }
    m_showing = false;
    m_skipNextActivate = false;
    return r;
}

void TfrmFiltroPadrao::Close(int modalResult)
{
    done(modalResult);
}

void TfrmFiltroPadrao::done(int r)
{
    // Closing an already closed dialog (a subclass closing after the base
    // cancel handler did) must not run FormClose again.
    if (m_closing || (!m_showing && !isVisible()))
        return;
    TCloseAction action = caHide;
    m_closing = true;
    const bool ok = krt::invokeHandlerChecked("FormClose", [&] { FormClose(this, action); });
    m_closing = false;
    if (!ok || action == caNone || action == caMinimize)
        return;
    m_showing = false;
    m_firstActivation = true;
    QDialog::done(r);
    if (action == caFree)
        deleteLater();
}

bool TfrmFiltroPadrao::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        if (m_skipNextActivate)
            m_skipNextActivate = false;
        else
            activate();
    }
    return QDialog::event(event);
}

void TfrmFiltroPadrao::activate()
{
    krt::invokeHandler("FormActivate", [this] { FormActivate(this); });
    m_firstActivation = false;
}

void TfrmFiltroPadrao::keyPressEvent(QKeyEvent* event)
{
    // Keys reach the dialog only when the control with the focus left them:
    // edits and radio buttons do not use Enter and Esc.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A held key must not confirm again the dialog that comes back
            // after an error message.
            if (!event->isAutoRepeat())
                sbtConfirma->click();
            event->accept();
            return;
        case Qt::Key_Escape:
            if (!event->isAutoRepeat())
                sbtCancel->click();
            event->accept();
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void TfrmFiltroPadrao::FormCreate(QObject*) {}

void TfrmFiltroPadrao::FormActivate(QObject*) {}

void TfrmFiltroPadrao::FormClose(QObject*, TCloseAction& Action)
{
    Action = caHide;
}

void TfrmFiltroPadrao::sbtCancelClick(QObject*)
{
    if (m_showing || isVisible())
        Close(mrCancel);
}
