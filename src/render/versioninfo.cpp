#include "render/versioninfo.h"

#include "frame/version.h"
#include "render/output.h"

const char *BuildDate() { return __DATE__; }
const char *BuildTime() { return __TIME__; }

void VersionBanner()
{
    PrintMessage(kProductText);
    PrintLine("CLI - Version %d.%d.%d (Build %d)%s", kVersionMajor, kVersionMinor, kVersionRevision,
              kVersionBuild, kVersionSuffix);
    PrintMessage(kLibraryDescription);
    PrintMessage(kNoticeText);
    PrintLine("Build Type:  %s", kBuildType);
    PrintLine("Build Date:  %s %s", BuildDate(), BuildTime());
}

void EmitVersionInfo(bool closeDocument)
{
    PrintMessage("    <VersionInfo>");
    PrintLine("\t<Name>%s</Name>", kProductText);
    PrintLine("\t<Version>v%d.%d.%d Build %d %s</Version>", kVersionMajor, kVersionMinor,
              kVersionRevision, kVersionBuild, kVersionSuffix);
    PrintLine("\t<CopyRight>%s</CopyRight>", kNoticeText);
    PrintLine("\t<Desc>%s</Desc>", kLibraryDescription);
    PrintLine("\t<BuildType>%s</BuildType>", kBuildType);
    PrintLine("\t<BuildDate>%s %s</BuildDate>", BuildDate(), BuildTime());
    PrintMessage("    </VersionInfo>");
    if (closeDocument)
        EmitXmlStatus(0, nullptr, 0, false, true);
}
