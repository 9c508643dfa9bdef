#pragma once

// Corvale's fixed numbers. Widgets carry theirs in the "controlId" property,
// so tests find them by these values.

namespace corvale::ids {

namespace dialog {
constexpr int kSetupFinish = 102; // "린드바트"
} // namespace dialog

namespace icon {
constexpr int kApplication = 128;
} // namespace icon

namespace bitmap {
constexpr int kBanner = 140; // the tall picture along the left edge
constexpr int kBadge = 156; // the small picture at the top right
} // namespace bitmap

namespace control {
constexpr int kOk = 1; // "완료"
constexpr int kReadMe = 1000; // "ReadMe 파일을 읽습니다."
constexpr int kRunProgram = 1001; // "린드바트를 실행합니다."
constexpr int kNotice = 1016;
constexpr int kLine = 1018;
} // namespace control

} // namespace corvale::ids
