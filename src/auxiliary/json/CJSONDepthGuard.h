#pragma once
// CJSONDepthGuard: counts one container level of the JSON scanner or serializer for as long as
// it lives.

class CJSONDepthGuard {
  public:
    explicit CJSONDepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~CJSONDepthGuard() { --depth_; }
    CJSONDepthGuard(const CJSONDepthGuard&) = delete;
    CJSONDepthGuard& operator=(const CJSONDepthGuard&) = delete;

  private:
    int& depth_;
};
