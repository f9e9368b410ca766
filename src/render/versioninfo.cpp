#include "render/versioninfo.h"

#include "base/text.h"
#include "frame/frame.h"
#include "frame/version.h"
#include "render/output.h"
#include "render/renderer.h"

namespace {

const RecordStyle kVersionInfo = {
    .element = "VersionInfo",
    .indent = "    ",
    .childIndent = "\t",
};

} // namespace

const char *BuildDate() { return __DATE__; }
const char *BuildTime() { return __TIME__; }

void DescribeVersion(Renderer &r, unsigned show)
{
    const std::string when = Format("%s %s", BuildDate(), BuildTime());
    r.BeginRecord(kVersionInfo, show);
    r.Add(nullptr, "Name", kProductText);
    r.Add(Row{.xmlName = "Version",
              .value = Format("CLI - Version %d.%d.%d (Build %d)%s", kVersionMajor, kVersionMinor,
                              kVersionRevision, kVersionBuild, kVersionSuffix),
              .xmlValue = Format("v%d.%d.%d Build %d %s", kVersionMajor, kVersionMinor,
                                 kVersionRevision, kVersionBuild, kVersionSuffix)});
    // The element names the notice before the description, the banner after it.
    r.Add(nullptr, "CopyRight", kNoticeText, kInXml);
    r.Add(nullptr, "Desc", kLibraryDescription);
    r.Add(nullptr, nullptr, kNoticeText, kInText);
    r.Add(Row{.xmlName = "BuildType",
              .value = Format("Build Type:  %s", kBuildType),
              .xmlValue = kBuildType});
    r.Add(Row{.xmlName = "BuildDate", .value = "Build Date:  " + when, .xmlValue = when});
    r.EndRecord();
}

int DisplayVersion()
{
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    DescribeVersion(r);
    return r.Finish(0);
}

void VersionBanner() { DescribeVersion(RendererFor(OutputForm::Text)); }

void EmitVersionInfo(bool closeDocument)
{
    Renderer &r = RendererFor(Frame().xmlForm == 2 ? OutputForm::Xml2 : OutputForm::Xml1);
    DescribeVersion(r);
    if (closeDocument)
        r.Finish(0);
}
