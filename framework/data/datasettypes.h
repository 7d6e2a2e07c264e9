#pragma once

#include <QFlags>

// States of a data set. Only dsInactive and dsBrowse are ever entered by the
// read-only sets of this framework as observers see them; dsCalcFields is the
// transient state while OnCalcFields runs. dsEdit and dsInsert exist so code
// written against the usual data-set vocabulary compiles.
enum TDataSetState
{
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsCalcFields
};

// Where a field's value comes from: the stored content or OnCalcFields.
enum TFieldKind
{
    fkData,
    fkCalculated
};

// Horizontal alignment of a field's text in grids and labels.
enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

enum TLocateOption
{
    loCaseInsensitive = 0x1,
    loPartialKey = 0x2
};
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)
