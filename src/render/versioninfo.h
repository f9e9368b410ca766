// The version banner (-v, help) and the XML version element.
#pragma once

const char *BuildDate();
const char *BuildTime();

void VersionBanner();
void EmitVersionInfo(bool closeDocument);
