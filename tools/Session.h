// Opening the sensors for a command of the yoxa tool: discovery, connection, and closing at the end.
#pragma once

#include <string>
#include <vector>

class Session {
public:
    // Discovers the sensors (waiting up to timeoutMs); Ok() tells whether the library could start.
    explicit Session(int timeoutMs = 1000);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Ok() const { return status_ == 0; }
    int Status() const { return status_; }
    const std::vector<std::string>& Ids() const { return ids_; }
    // The id named by text: an id, or a position in the discovery list ("0", "1"); empty when unknown.
    std::string Resolve(const std::string& text) const;
    // Connects the camera; prints a message and returns false on failure.
    bool Connect(const std::string& id);

private:
    int status_ = -1;
    std::vector<std::string> ids_;
};
