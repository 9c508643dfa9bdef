#pragma once

#include "document/documentoutcome.h"

class CQuorelDoc;

// Shows the user what a document's open, new-document, save or conversion
// step came to (its reason or notice, in a message box titled with the
// program's name). True when the step succeeded.
bool reportOutcome(const CQuorelDoc &doc, const DocumentOutcome &outcome);
