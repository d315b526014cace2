#include "tools/Session.h"

#include <cstdio>
#include <cstdlib>

#include "tools/Commands.h"
#include "yoxa/yoxa.h"

Session::Session(int timeoutMs) {
    int count = -1;
    char** ids = nullptr;
    status_ = _Open(&count, &ids, timeoutMs);
    ReportStatus("discovery", status_);
    for (int i = 0; status_ == CS_SUCCESS && i < count; ++i) ids_.emplace_back(ids[i]);
}

Session::~Session() {
    _Close();
}

std::string Session::Resolve(const std::string& text) const {
    for (const std::string& id : ids_) {
        if (id == text) return id;
    }
    char* end = nullptr;
    long position = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && position >= 0 && position < static_cast<long>(ids_.size())) {
        return ids_[static_cast<size_t>(position)];
    }
    std::fprintf(stderr, "yoxa: no sensor '%s' (see yoxa discover)\n", text.c_str());
    return {};
}

bool Session::Connect(const std::string& id) {
    int status = _Connect(const_cast<char*>(id.c_str()), nullptr);
    std::string what = "connect " + id;
    return ReportStatus(what.c_str(), status) == CS_SUCCESS;
}
