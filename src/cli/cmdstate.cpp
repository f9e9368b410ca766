#include "cmdstate.h"

#include "adapterlist.h"
#include "frame.h"
#include "lifecycle.h"

void ResetCommandLineState()
{
    AdapterModelState &model = AdapterModel();
    model.enableFamilies21And24 = false;
    model.enableFamily17 = false;
    SetCleanupBlocked(false, false);
}

void CloseXmlDocumentOnAbort()
{
    // No document is open until the XML output exists.
}
