#pragma once

#include "document/documentoutcome.h"

class CMainFrame;
class CQuorelDoc;
class CQuorelView;

// Shows the user what a document's open, new-document, save or conversion
// step came to (its reason or notice, in a message box titled with the
// program's name). True when the step succeeded.
bool reportOutcome(const CQuorelDoc &doc, const DocumentOutcome &outcome);

// At most this many refused lines are listed; the rest are counted.
constexpr int kMaxListedFaults = 20;

// One refused line per line of text, at most kMaxListedFaults, then
// "외 N줄" for the rest.
QString conversionFaultsText(const ConversionFaults &faults);

// The message pane's text after a failed conversion: the failure text, then
// the first reason, so the user still sees why once the message is gone.
QString conversionFailedStatus(const ConversionFaults &faults);

// Shows a whole-document conversion that failed: its message, if any,
// first; then the failure in the message pane and the failing line selected
// in `view`; then every refused line in a message the user must dismiss.
void reportConversionFailure(
    CMainFrame &frame, CQuorelView *view, const CQuorelDoc &doc, const DocumentOutcome &outcome);

// Shows the Hangul hosts a successful conversion left inside rules: the
// first in the status line, all of them in the result dialog's list, whose
// double-click takes `view` to the rule. The list of an earlier conversion
// goes either way.
void reportConversionWarnings(CMainFrame &frame, CQuorelView *view, const ConversionWarnings &warnings);
