#include "cmdstate.h"

#include "adapterlist.h"
#include "cmdrecord.h"
#include "frame.h"
#include "lifecycle.h"
#include "output.h"

void ResetCommandLineState()
{
    ResetCommandRecord();
}

void CloseXmlDocumentOnAbort()
{
    // The reader of an interrupted run still gets a whole document.
    if (!XmlOutput() || !XmlDocumentOpen())
        return;
    XmlEndAdapterElement();
    EmitXmlStatus(0, nullptr, 0, false, true);
}
