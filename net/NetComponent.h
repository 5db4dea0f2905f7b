// TNetBaseComponent and TNetComponent: the common bases of the network
// components. Every live TNetComponent counts as a user of the socket layer,
// so the stack exists from the first component to the last.
#pragma once

#include <functional>
#include <string>

class TNetBaseComponent {
public:
    virtual ~TNetBaseComponent() = default;
    std::string Name;
};

// Connection states reported through OnStatus.
enum class TNetStatus { Resolving, Connecting, Connected, Disconnecting, Disconnected, Text };

class TNetComponent : public TNetBaseComponent {
public:
    TNetComponent();
    ~TNetComponent() override;
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    // Status and work notifications; nothing on the road listens to them.
    std::function<void(TNetComponent& sender, TNetStatus status, const std::string& text)> OnStatus;
    std::function<void(TNetComponent& sender, bool reading, long long count)> OnWork;

protected:
    void DoStatus(TNetStatus status, const std::string& text);
    void DoWork(bool reading, long long count);
};
