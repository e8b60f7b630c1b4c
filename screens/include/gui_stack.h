// The containers pushed over a screen (menus, popups), last on top. Every
// screen's stack shares one process-wide lock for the operations that take
// it; the queries and the forwarding run on the GUI thread without it.
#pragma once

#include <deque>

#include "plat/windows.h"

class CBaseGUI;
class CeContainer;

class CGUIStack {
public:
    explicit CGUIStack(CBaseGUI* owner) : m_pOwner(owner) {}
    virtual ~CGUIStack() = default;
    CGUIStack(const CGUIStack&) = delete;
    CGUIStack& operator=(const CGUIStack&) = delete;

    void Push(CeContainer* container, BOOL lock);
    // The last pushed container, removed; none when empty.
    CeContainer* Pop(BOOL lock);
    void PopAll(BOOL lock);
    // Pop then push as one step.
    void Replace(CeContainer* container, BOOL lock);

    CeContainer* Top() const { return m_containers.empty() ? nullptr : m_containers.back(); }
    BOOL IsEmpty() const { return m_containers.empty(); }
    int Count() const { return static_cast<int>(m_containers.size()); }
    // The top container's key result; 0 when empty.
    int ForwardKey(UINT virtualKey, int data);
    // 1 when the top container took the touch (its code 1 or 2).
    int ForwardTouch(POINT point, BOOL launch);

    CBaseGUI* Owner() const { return m_pOwner; }

private:
    std::deque<CeContainer*> m_containers;
    CBaseGUI* m_pOwner;
};
