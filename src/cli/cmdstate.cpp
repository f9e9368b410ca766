#include "cli/cmdstate.h"

#include "adapters/adapterlist.h"
#include "cli/cmdrecord.h"
#include "frame/frame.h"
#include "render/json.h"
#include "render/output.h"
#include "session/lifecycle.h"

void ResetCommandLineState() { ResetCommandRecord(); }

void CloseXmlDocumentOnAbort()
{
    // The reader of an interrupted run still gets a whole document.
    if (!XmlOutput())
        return;
    if (XmlDocumentOpen()) {
        XmlEndAdapterElement();
        EmitXmlStatus(0, nullptr, 0, false, true);
    }
    // JSON: what was collected so far, as the XML trailer reports it.
    EmitJsonDocument(0);
}

void RegisterCommandLineHooks()
{
    RegisterSessionHook(SessionHook::ResetCommandLine, ResetCommandLineState);
    RegisterSessionHook(SessionHook::AbortXmlDocument, CloseXmlDocumentOnAbort);
}

namespace {

// The shared library registers at load; a static link through the processor's call.
const bool g_hooksRegistered = (RegisterCommandLineHooks(), true);

} // namespace
