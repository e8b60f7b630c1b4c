#include "gui_stack.h"

#include <mutex>

#include "ce_container.h"

namespace {

// One lock for the stacks of every screen.
std::recursive_mutex& StackLock()
{
    static std::recursive_mutex lock;
    return lock;
}

class MaybeLock {
public:
    explicit MaybeLock(BOOL take) : take_(take)
    {
        if (take_)
            StackLock().lock();
    }
    ~MaybeLock()
    {
        if (take_)
            StackLock().unlock();
    }
    MaybeLock(const MaybeLock&) = delete;
    MaybeLock& operator=(const MaybeLock&) = delete;

private:
    BOOL take_;
};

}  // namespace

void CGUIStack::Push(CeContainer* container, BOOL lock)
{
    MaybeLock guard(lock);
    m_containers.push_back(container);
}

CeContainer* CGUIStack::Pop(BOOL lock)
{
    MaybeLock guard(lock);
    if (m_containers.empty())
        return nullptr;
    CeContainer* top = m_containers.back();
    m_containers.pop_back();
    return top;
}

void CGUIStack::PopAll(BOOL lock)
{
    MaybeLock guard(lock);
    m_containers.clear();
}

void CGUIStack::Replace(CeContainer* container, BOOL lock)
{
    MaybeLock guard(lock);
    if (!m_containers.empty())
        m_containers.pop_back();
    m_containers.push_back(container);
}

int CGUIStack::ForwardKey(UINT virtualKey, int data)
{
    CeContainer* top = Top();
    if (!top)
        return 0;
    int code = 0;
    return top->OnKey(virtualKey, data, &code);
}

int CGUIStack::ForwardTouch(POINT point, BOOL launch)
{
    CeContainer* top = Top();
    if (!top)
        return 0;
    int code = 0;
    const int handled = top->OnTouch(point, launch, &code);
    return handled && (code == CE_TOUCH_LAUNCHED || code == CE_TOUCH_KEPT) ? 1 : 0;
}
