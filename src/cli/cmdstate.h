// Process-wide state of the command-line front end.
#pragma once

// Resets every option flag and selection of the command record.
void ResetCommandLineState();
// Ends an open XML document when a run is interrupted.
void CloseXmlDocumentOnAbort();
// Hands the two functions above to the session.
void RegisterCommandLineHooks();
