#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/LastError.h"
#include "platform/gdi/Objects.h"

namespace lqp::gdi {

namespace {

LqLogFont systemFont() {
    LqLogFont f{};
    f.height = 16;
    f.weight = 700;
    std::strcpy(f.faceName, "Arial");
    return f;
}

// Handles are sequence numbers, never addresses, and are not reused within a process, so a
// stale or forged handle finds nothing instead of touching a freed object.
class Registry {
public:
    static Registry& instance() {
        static Registry* r = new Registry;  // never destroyed: objects may be freed during exit
        return *r;
    }

    void* add(std::shared_ptr<Object> object) {
        std::lock_guard g(mutex_);
        const std::uintptr_t id = ++last_;
        object->handle = reinterpret_cast<void*>(id);
        objects_.emplace(id, std::move(object));
        return reinterpret_cast<void*>(id);
    }

    std::shared_ptr<Object> find(const void* handle, Kind kind) {
        std::lock_guard g(mutex_);
        auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects_.end() || it->second->kind != kind) {
            lqSetLastError(kLqErrInvalidHandle);
            return nullptr;
        }
        return it->second;
    }

    bool remove(const void* handle, Kind kind) {
        std::shared_ptr<Object> doomed;  // destroyed outside the lock
        std::lock_guard g(mutex_);
        auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects_.end() || it->second->kind != kind) {
            lqSetLastError(kLqErrInvalidHandle);
            return false;
        }
        if (it->second->stock) return true;
        if (it->second->holders.load() > 0) {
            lqSetLastError(kLqErrBusy);
            return false;
        }
        doomed = std::move(it->second);
        objects_.erase(it);
        return true;
    }

    std::size_t live() {
        std::lock_guard g(mutex_);
        return objects_.size() - stock_.size();
    }

    void* stock(int which) {
        std::lock_guard g(mutex_);
        auto it = stock_.find(which);
        return it == stock_.end() ? nullptr : reinterpret_cast<void*>(it->second);
    }

private:
    Registry() {
        addStock(kLqWhiteBrush, std::make_shared<Brush>(false, rgb(255, 255, 255)));
        addStock(kLqBlackBrush, std::make_shared<Brush>(false, rgb(0, 0, 0)));
        addStock(kLqNullBrush, std::make_shared<Brush>(true, 0));
        addStock(kLqWhitePen, std::make_shared<Pen>(kLqPenSolid, 0, rgb(255, 255, 255)));
        addStock(kLqBlackPen, std::make_shared<Pen>(kLqPenSolid, 0, rgb(0, 0, 0)));
        addStock(kLqNullPen, std::make_shared<Pen>(kLqPenNull, 0, 0));
        addStock(kLqSystemFont, std::make_shared<Font>(systemFont()));
        addStock(kStockBitmap, makeBitmap(1, 1, 1));
    }

    void addStock(int which, std::shared_ptr<Object> object) {
        object->stock = true;
        const std::uintptr_t id = ++last_;
        object->handle = reinterpret_cast<void*>(id);
        objects_.emplace(id, std::move(object));
        stock_.emplace(which, id);
    }

    std::mutex mutex_;
    std::uintptr_t last_ = 0;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects_;
    std::unordered_map<int, std::uintptr_t> stock_;
};

}  // namespace

void* registerObject(std::shared_ptr<Object> object) { return Registry::instance().add(std::move(object)); }
std::shared_ptr<Object> findObject(const void* handle, Kind kind) { return Registry::instance().find(handle, kind); }
bool unregisterObject(const void* handle, Kind kind) { return Registry::instance().remove(handle, kind); }
std::size_t liveObjects() { return Registry::instance().live(); }
void* stockHandle(int which) { return Registry::instance().stock(which); }

}  // namespace lqp::gdi
