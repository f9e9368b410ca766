// Product and version texts of the library.
#pragma once

inline constexpr char kProductText[] = "Corvane TAVRO (x64)";
// The numbers come from the project version of the build (major.minor.revision.build).
inline constexpr int kVersionMajor = TAVRO_VERSION_MAJOR;
inline constexpr int kVersionMinor = TAVRO_VERSION_MINOR;
inline constexpr int kVersionRevision = TAVRO_VERSION_PATCH;
inline constexpr int kVersionBuild = TAVRO_VERSION_TWEAK;
inline constexpr char kVersionSuffix[] = "";
inline constexpr char kLibraryDescription[] = "Corvane FC/FCoE Common Library";
inline constexpr char kNoticeText[] = "Copyright (C) 2026 Vantor Corporation. All rights reserved.";
inline constexpr char kBuildType[] = "Release";
