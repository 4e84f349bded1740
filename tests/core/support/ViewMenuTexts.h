#pragma once
// The View menu's entries without physical units, as the core table and the
// window's menu both must list them.

#include <string>
#include <vector>

namespace koru::test {

inline const std::vector<std::string> kViewMenuTexts = {"&Time Base...",
                                                        "Measure &Amplitude",
                                                        "-",
                                                        "&Dots",
                                                        "&Markers",
                                                        "&Names",
                                                        "Time&Hack",
                                                        "Heart &Rate",
                                                        "-",
                                                        "Detect &Beats",
                                                        "-",
                                                        "High-pass 0.05 Hz",
                                                        "High-pass 0.5 Hz",
                                                        "Notch 50 Hz",
                                                        "Notch 60 Hz",
                                                        "Low-pass 40 Hz",
                                                        "Low-pass 100 Hz",
                                                        "Low-pass 150 Hz",
                                                        "-",
                                                        "Annotation &Labels",
                                                        "Annotation &Table",
                                                        "Ne&xt Annotation",
                                                        "&Previous Annotation"};

}  // namespace koru::test
