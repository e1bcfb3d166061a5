#pragma once

#include <QSize>

#include "PreviewEngine.h"

// The LED pictures, read by bare name.
inline constexpr char kUnlitLedFile[] = "led_gris.bmp";
inline constexpr char kLitLedFile[] = "led_bleu.bmp";

// Pixels between LEDs, both ways: the LED pictures are laid out on this pitch.
inline constexpr int kLedPitch = 18;

// The area the LED matrix covers, from LED (0,0) on.
constexpr QSize ledMatrixSize() {
    return {PreviewEngine::kShownColumns * kLedPitch, PreviewEngine::kRows * kLedPitch};
}
