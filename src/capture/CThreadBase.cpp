#include "capture/CThreadBase.h"

#include <system_error>

CThreadBase::~CThreadBase() { Join(); }

bool CThreadBase::Start() {
    if (running_.load()) return false;
    if (thread_.joinable()) thread_.join();
    running_ = true;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void CThreadBase::Join() {
    running_ = false;
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}
