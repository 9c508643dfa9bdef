#include "editor/outcomereport.h"

#include "document/documentcontext.h"
#include "document/prompter.h"
#include "document/quoreldoc.h"

bool reportOutcome(const CQuorelDoc &doc, const DocumentOutcome &outcome)
{
    const DocumentContext &context = doc.context();
    if (!outcome.message.isEmpty() && context.prompter)
        context.prompter->information(outcome.message, context.appName);
    return outcome.ok();
}
