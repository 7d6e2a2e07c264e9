#include "framework/widgets/btnpesquisa.h"

#include "framework/core/errors.h"
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"
#include "framework/data/lookuproutines.h"

#include <QKeyEvent>
#include <QStyle>

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : TButtonFlat(parent)
{
    setGlyph(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    setHint(QStringLiteral("Pesquisar"));
    // A click without an OnClick of its own runs the built-in lookup.
    disconnect(this, &QToolButton::clicked, nullptr, nullptr);
    connect(this, &QToolButton::clicked, this, [this] {
        if (OnClick)
            Click();
        else
            krt::invokeHandler("TBtnPesquisa.Pesquisa", [this] { Pesquisa(); });
    });
}

void TBtnPesquisa::setControl(QWidget* control)
{
    if (m_control)
        m_control->removeEventFilter(this);
    m_control = control;
    if (control)
        control->installEventFilter(this);
}

bool TBtnPesquisa::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_control && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool opens = (key->key() == Qt::Key_F4 && mods == Qt::NoModifier) ||
                           (key->key() == Qt::Key_Down && mods == Qt::AltModifier);
        if (opens && isEnabled() && !isHidden()) {
            click();
            return true;
        }
    }
    return TButtonFlat::eventFilter(watched, event);
}

QString TBtnPesquisa::KeyField() const
{
    if (!m_keyField.isEmpty())
        return m_keyField;
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds && ds->FieldCount() > 0 ? ds->Fields().front()->FieldName() : QString();
}

void TBtnPesquisa::Pesquisa()
{
    // The button takes no focus, yet using it is going to its edit: the focus
    // moves there first, so the edit's panel is entered (and the control the
    // focus leaves is checked) before a picked code changes anything. A move
    // that the control being left refuses also cancels the pick.
    if (m_control && m_control->isEnabled() && m_control->isVisible() &&
        m_control->window()->isActiveWindow() && !m_control->hasFocus()) {
        m_control->setFocus(Qt::MouseFocusReason);
        if (!m_control->hasFocus())
            return;
    }
    bool cancel = false;
    if (OnBeforePesq)
        OnBeforePesq(this, cancel);
    if (cancel)
        return;
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds || !ds->Active() || ds->IsEmpty()) {
        if (!m_emptyError.isEmpty())
            MensErro(m_emptyError);
    }
    QString picked;
    if (!PesquisaLista(m_source, KeyField(), m_title, true, picked))
        return;
    if (OnAfterPesq)
        OnAfterPesq(this);
}
