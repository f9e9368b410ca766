// The version banner (-v, help) and the XML version element: one description.
#pragma once

#include "render/renderer.h"

const char *BuildDate();
const char *BuildTime();

// The VersionInfo record: the banner lines in text, the VersionInfo element in
// XML; show limits it to one form.
void DescribeVersion(Renderer &r, unsigned show = kInBoth);
// -v: the banner, or a document holding the version element; 0.
int DisplayVersion();
// The banner in text whatever the output settings (help prints it too).
void VersionBanner();
// The version element in the current XML form, with the trailer when closeDocument is set.
void EmitVersionInfo(bool closeDocument);
