#pragma once

#include <array>
#include <cstdint>

// The spatial filter's constants: the eight rate bands with their filters, and the four gain
// tables by direction index 0 (full left) .. 126 (full right). Single-precision values, as the
// filter computes with them.

struct RateBand {
    int32_t lowRate, highRate;  // Hz, inclusive
    int sections;               // per filter
    int writeIndexAfterReset;
    int directDelay;  // samples the direct terms lag the filtered ones (-1, 0 or +2)
    float kLeft, kRight;
    float left[4][2], right[4][2];  // (a1, a2) per section, section 1 first
};

// clang-format off
inline constexpr RateBand kRateBands[8] = {
//   rates (Hz)     sec wr delay k left           k right           left filter (a1, a2) per section                                                                                 right filter (a1, a2) per section
    {6000,  9600,   2,  1, -1,  -0.63919437f,    -0.7069333f,     {{-0.8410479f, 0.3844f},     {0.48258454f, 0.05968249f}},                                                           {{-0.94752306f, 0.4489f},     {0.6664199f, 0.1800305f}}},
    {9601,  13600,  3,  1, -1,  -0.58701885f,    -0.62805164f,    {{-1.095396f, 0.47351784f},  {0.7340869f, 0.2645045f},   {0.0f, 0.0f}},                                             {{-1.3373617f, 0.6211431f},   {0.22715314f, 0.3773645f},   {0.7870458f, 0.18421264f}}},
    {13601, 19000,  3,  1, -1,  -0.23076738f,    -0.23261268f,    {{-1.4266278f, 0.60694015f}, {-0.4840945f, 0.3481f},     {0.22209422f, 0.6889f}},                                   {{-1.5566173f, 0.7040278f},   {-0.53720623f, 0.573049f},   {0.30969375f, 0.7147769f}}},
    {19001, 23050,  4,  1, -1,  -0.064084135f,   -0.08998308f,    {{-1.6082482f, 0.70593184f}, {-0.5888224f, 0.683929f},   {-0.08143549f, 0.80676997f}, {-1.0159616f, 0.47905186f}},  {{-1.6894075f, 0.77474767f},  {-0.97364616f, 0.62404585f}, {0.07929388f, 0.7889059f},  {-0.38307992f, 0.5552528f}}},
    {23051, 28000,  3,  1, -1,  -0.06084055f,    -0.035325453f,   {{-1.6216911f, 0.7192157f},  {-0.8276444f, 0.5338984f},  {-0.56870264f, 0.7396f}},                                  {{-1.7112117f, 0.7883308f},   {-0.74881655f, 0.8588518f},  {-1.1443857f, 0.70763683f}}},
    {28001, 38000,  4,  0,  0,  -0.008776298f,   -0.0072410256f,  {{-1.7235433f, 0.7746407f},  {-1.231103f, 0.56600285f},  {-1.1143767f, 0.74087673f},  {-0.8587169f, 0.88391185f}},  {{-1.7983606f, 0.8405154f},   {-1.4191468f, 0.74390626f},  {-1.109724f, 0.79424757f},  {-0.84702134f, 0.90024f}}},
    {38001, 46100,  4,  2,  2,  -0.00073618983f, -0.0005790014f,  {{-1.8020717f, 0.8306132f},  {-1.5219966f, 0.695556f},   {-1.472167f, 0.824464f},     {-1.3776736f, 0.9172447f}},   {{-1.8571433f, 0.87998796f},  {-1.6273203f, 0.802816f},    {-1.4752879f, 0.839056f},   {-1.3919213f, 0.93026024f}}},
    {46101, 48000,  4,  2,  2,  -0.00020755544f, -0.00043382964f, {{-1.843098f, 0.8649f},      {-1.6513721f, 0.7751629f},  {-1.5851799f, 0.86025625f},  {-1.5425284f, 0.9409f}},      {{-1.8629164f, 0.8836f},      {-1.6410253f, 0.8107802f},   {-1.4916809f, 0.82355624f}, {-1.4361324f, 0.931225f}}},
};

// directGainLeft for indexes 30-100; it is 0.9999 below and 0 above.
inline constexpr float kDirectLeft30To100[71] = {
    0.9928f, 0.9809f, 0.969f,  0.9571f, 0.95f,   0.95f,   0.95f,   0.95f,   0.9476f, 0.9357f,  // 30-39
    0.9238f, 0.9119f, 0.9f,    0.9f,    0.9f,    0.9f,    0.9f,    0.8905f, 0.8786f, 0.8667f,  // 40-49
    0.8547f, 0.85f,   0.85f,   0.85f,   0.85f,   0.8452f, 0.8333f, 0.8214f, 0.8095f, 0.7952f,  // 50-59
    0.7714f, 0.7476f, 0.7238f, 0.7f,    0.6881f, 0.6762f, 0.6643f, 0.6524f, 0.6405f, 0.6286f,  // 60-69
    0.6167f, 0.6047f, 0.5928f, 0.5809f, 0.569f,  0.5571f, 0.5452f, 0.5333f, 0.5214f, 0.5095f,  // 70-79
    0.4952f, 0.4714f, 0.4476f, 0.4238f, 0.4f,    0.3762f, 0.3524f, 0.3286f, 0.3048f, 0.2809f,  // 80-89
    0.2571f, 0.2333f, 0.2095f, 0.1857f, 0.1619f, 0.1381f, 0.1143f, 0.0905f, 0.0667f, 0.0428f,  // 90-99
    0.019f,                                                                                    // 100
};

// filteredGainLeft for indexes 68-126; 0 below.
inline constexpr float kFilteredLeft68To126[59] = {
    0.0001f, 0.0001f, 0.0002f, 0.0003f, 0.0004f, 0.0004f, 0.0005f, 0.0006f, 0.0007f, 0.0009f,  // 68-77
    0.0011f, 0.0012f, 0.0014f, 0.0017f, 0.0021f, 0.0024f, 0.0027f, 0.0034f, 0.0041f, 0.0048f,  // 78-87
    0.0055f, 0.0066f, 0.0079f, 0.0092f, 0.0104f, 0.0138f, 0.0186f, 0.0234f, 0.0281f, 0.0419f,  // 88-97
    0.069f,  0.0961f, 0.1232f, 0.1514f, 0.1836f, 0.2158f, 0.248f,  0.2801f, 0.3241f, 0.3681f,  // 98-107
    0.4121f, 0.4561f, 0.4951f, 0.5329f, 0.5706f, 0.6084f, 0.6411f, 0.6704f, 0.6997f, 0.729f,   // 108-117
    0.7583f, 0.7873f, 0.8164f, 0.8455f, 0.875f,  0.9062f, 0.9375f, 0.9687f, 0.9999f,           // 118-126
};

// filteredGainRight for indexes 0-58; 0 above. Close to the mirror of the left one, not equal.
inline constexpr float kFilteredRight0To58[59] = {
    0.9999f, 0.9757f, 0.9514f, 0.9272f, 0.9029f, 0.8692f, 0.8332f, 0.7971f, 0.7611f, 0.729f,   // 0-9
    0.6997f, 0.6704f, 0.6411f, 0.6084f, 0.5706f, 0.5329f, 0.4951f, 0.4552f, 0.4068f, 0.3583f,  // 10-19
    0.3099f, 0.2614f, 0.2329f, 0.2044f, 0.1759f, 0.1474f, 0.1206f, 0.0942f, 0.0679f, 0.0415f,  // 20-29
    0.0281f, 0.0234f, 0.0186f, 0.0138f, 0.0104f, 0.009f,  0.0077f, 0.0063f, 0.0051f, 0.0045f,  // 30-39
    0.0039f, 0.0032f, 0.0026f, 0.0023f, 0.002f,  0.0017f, 0.0013f, 0.0012f, 0.001f,  0.0008f,  // 40-49
    0.0007f, 0.0006f, 0.0005f, 0.0004f, 0.0003f, 0.0003f, 0.0002f, 0.0001f, 0.0001f,           // 50-58
};
// clang-format on

// The four tables whole, 128 entries each; entry 127 is 0 and never used.
struct GainTables {
    std::array<float, 128> directLeft{}, directRight{}, filteredLeft{}, filteredRight{};
};

constexpr GainTables MakeGainTables() {
    GainTables t;
    for (int i = 0; i <= 126; ++i) {
        t.directLeft[i] = i < 30 ? 0.9999f : i <= 100 ? kDirectLeft30To100[i - 30] : 0.0f;
        t.filteredLeft[i] = i < 68 ? 0.0f : kFilteredLeft68To126[i - 68];
        t.filteredRight[i] = i <= 58 ? kFilteredRight0To58[i] : 0.0f;
    }
    for (int i = 0; i <= 126; ++i) {
        t.directRight[i] = t.directLeft[126 - i];  // the mirror image
    }
    return t;
}

inline constexpr GainTables kGainTables = MakeGainTables();
