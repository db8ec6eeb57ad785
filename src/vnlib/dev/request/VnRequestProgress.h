#pragma once
// VnRequestProgress: a progress record passed by value: amount done, amount expected, an untyped
// status pointer and a reserved word that is always null.

struct VnRequestProgress {
    float completed = 0;
    float total = 0;
    void* status = nullptr;
    void* reserved = nullptr;
};

inline VnRequestProgress VnRequestProgressMakeWithStatus(float completed, float total,
                                                         void* status) {
    return VnRequestProgress{completed, total, status, nullptr};
}

inline VnRequestProgress VnRequestProgressMake(float completed, float total) {
    return VnRequestProgressMakeWithStatus(completed, total, nullptr);
}
