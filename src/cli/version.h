// Product and version texts of the library, and the version displays.
#pragma once

inline constexpr char kProductText[] = "Corvane TAVRO (x64)";
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 3;
inline constexpr int kVersionRevision = 0;
inline constexpr int kVersionBuild = 12;
inline constexpr char kVersionSuffix[] = "";
inline constexpr char kLibraryDescription[] = "Corvane FC/FCoE Common Library";
inline constexpr char kNoticeText[] = "Copyright (C) 2026 Vantor Corporation. All rights reserved.";
inline constexpr char kBuildType[] = "Release";

// Date and time at which the library was compiled ("Mmm dd yyyy", "hh:mm:ss").
const char *BuildDate();
const char *BuildTime();

// The six text lines of the version banner.
void VersionBanner();
// The VersionInfo element; with closeDocument also the trailer (Status 0,
// Reboot 0, closing root).
void EmitVersionInfo(bool closeDocument);
