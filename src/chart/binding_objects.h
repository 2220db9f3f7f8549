#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "chart/automation.h"
#include "chart/excel_binding.h"
#include "platform/failure.h"
#include "platform/sanitizer.h"
#include "spreadsheet/workbook.h"

// What the engine's automation objects share: member-name matching, the object model's constants, the
// state of an application and the workbooks it holds, and the makers by which one object hands out
// another. Each object lives in its own file (binding_application.cpp, binding_workbooks.cpp, ...); only
// those files and excel_binding.cpp include this header.
namespace rw::chart::binding {

using automation::Args;
using automation::ObjectRef;
using automation::Variant;
using sheet::CellRange;
using sheet::Edge;
using sheet::StyleChange;

// Constants of the object model.
constexpr std::int32_t xlNone = -4142;
constexpr std::int32_t xlAutomatic = -4105;
constexpr std::int32_t xlContinuous = 1;
constexpr std::int32_t xlDash = -4115;
constexpr std::int32_t xlDashDot = 4;
constexpr std::int32_t xlDashDotDot = 5;
constexpr std::int32_t xlDot = -4118;
constexpr std::int32_t xlDouble = -4119;
constexpr std::int32_t xlSlantDashDot = 13;
constexpr std::int32_t xlHairline = 1;
constexpr std::int32_t xlThin = 2;
constexpr std::int32_t xlMedium = -4138;
constexpr std::int32_t xlThick = 4;

// Member names compare as in the object model: ASCII letters without regard to case.
constexpr char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline bool is(std::string_view member, std::string_view name) {
    if (member.size() != name.size()) {
        return false;
    }
    if (member == name) {
        return true;  // spelt as the model spells it: the usual case, and the cheap one
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lower(member[i]) != lower(name[i])) {
            return false;
        }
    }
    return true;
}

[[noreturn]] inline void unsupported(const char* object, std::string_view member) {
    throw Failure("Object doesn't support this property or method (" + std::string(object) + "." +
                  std::string(member.empty() ? "[default]" : member) + ")");
}

inline void argCount(const Args& args, std::size_t least, std::size_t most) {
    if (args.size() < least || args.size() > most) {
        throw Failure("Wrong number of arguments or invalid property assignment");
    }
}

inline bool isMissing(const Variant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// The memory of the objects a chart makes by the hundred thousand (a Range and a Border or Interior for
// each cell it touches, each let go a statement later) is kept on a free list of its own per object type
// and used again, instead of going back to the general allocator each time. Sanitizer builds allocate
// every object anew, so that a use after release is still caught.
template <typename T>
class Recycled {
  public:
    using value_type = T;
    Recycled() = default;
    template <typename U>
    Recycled(const Recycled<U>&) noexcept {}  // NOLINT: rebinding, as allocators do

    T* allocate(std::size_t n) {
        FreeList& list = freeList();
        if (kRecycle && n == 1 && list.head != nullptr) {
            Block* block = list.head;
            list.head = block->next;
            --list.count;
            return reinterpret_cast<T*>(block);
        }
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        FreeList& list = freeList();
        if (kRecycle && n == 1 && list.count < kKept) {
            list.head = ::new (static_cast<void*>(p)) Block{list.head};
            ++list.count;
            return;
        }
        ::operator delete(p);
    }
    template <typename U>
    bool operator==(const Recycled<U>&) const noexcept {
        return true;
    }

  private:
    static constexpr bool kRecycle = !kAddressSanitizer;
    static constexpr std::size_t kKept = 64;
    struct Block {
        Block* next;
    };
    static_assert(sizeof(T) >= sizeof(Block));
    struct FreeList {
        Block* head = nullptr;
        std::size_t count = 0;
        FreeList() = default;
        FreeList(const FreeList&) = delete;
        FreeList& operator=(const FreeList&) = delete;
        ~FreeList() {
            while (head != nullptr) {
                Block* next = head->next;
                ::operator delete(static_cast<void*>(head));
                head = next;
            }
        }
    };
    static FreeList& freeList() {
        static thread_local FreeList list;
        return list;
    }
};

// A new object of the binding, in recycled memory.
template <typename T, typename... A>
ObjectRef makeRecycled(A&&... args) {
    return std::allocate_shared<T>(Recycled<T>{}, std::forward<A>(args)...);
}

// ---------------------------------------------------------------------------------------------------------
// Shared state: an application and the workbooks it holds.

// What outlives the application object: whether it has quit, and where pictures go. Workbooks point here
// (not to the application, which owns them) so no ownership cycle forms.
struct AppCore {
    bool quit = false;
    EngineFactory::PictureSink copyPicture;
    EngineFactory::SaveSink saveAs;
    sheet::PageSetup newSheetPageSetup;
    bool printAreaOverUsedRange = false;
    void check() const {
        if (quit) {
            throw Failure("Automation error: the spreadsheet application has quit");
        }
    }
};

struct AppState;

struct BookState {
    BookState(sheet::Workbook w, std::shared_ptr<AppCore> c, std::weak_ptr<AppState> a)
        : workbook(std::move(w)), core(std::move(c)), app(std::move(a)) {}
    sheet::Workbook workbook;
    std::shared_ptr<AppCore> core;
    std::weak_ptr<AppState> app;
    std::string name;
    bool closed = false;
    bool printAreaOverUsedRange = false;  // made by Workbooks.Add while the factory asked for it
    std::uint32_t references = 0;         // kept by BookRef
    void check() const {
        core->check();
        if (closed) {
            throw Failure("Automation error: the workbook has been closed");
        }
    }
    // Closed, its objects stop answering, so its cells are let go at once rather than when the last
    // reference to one of its objects goes (a run keeps those until it ends).
    void close() {
        closed = true;
        workbook = sheet::Workbook(sheet::Workbook::NoSheets{});
    }
};

// A counted reference to a workbook's state. The binding is used from the one thread that made its
// application, so the count is a plain integer: the chart takes and lets go two references for every cell
// it touches, and counting them atomically (as a shared pointer does once a program has a second thread)
// cost more than the rest of such a call.
class BookRef {
  public:
    BookRef() = default;
    template <typename... A>
    static BookRef make(A&&... args) {
        return BookRef(new BookState(std::forward<A>(args)...));
    }
    BookRef(const BookRef& other) : state_(other.state_) {
        if (state_ != nullptr) {
            ++state_->references;
        }
    }
    BookRef(BookRef&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
    BookRef& operator=(BookRef other) noexcept {
        std::swap(state_, other.state_);
        return *this;
    }
    ~BookRef() {
        if (state_ != nullptr && --state_->references == 0) {
            delete state_;
        }
    }
    BookState* operator->() const { return state_; }
    BookState& operator*() const { return *state_; }
    friend bool operator==(const BookRef& a, const BookRef& b) { return a.state_ == b.state_; }

  private:
    explicit BookRef(BookState* fresh) : state_(fresh) { state_->references = 1; }
    BookState* state_ = nullptr;
};

struct AppState {
    std::shared_ptr<AppCore> core = std::make_shared<AppCore>();
    bool visible = false;
    bool displayAlerts = true;
    int booksAdded = 0;
    std::vector<BookRef> books;
    void check() const { core->check(); }
};

// A worksheet by its place in a workbook; every use checks that the workbook is still open.
class SheetRef {
  public:
    SheetRef(BookRef book, std::size_t index) : book_(std::move(book)), index_(index) {}
    sheet::Worksheet& sheet() const {
        book_->check();
        return book_->workbook.sheet(index_);
    }
    const BookRef& book() const { return book_; }
    std::size_t index() const { return index_; }

  private:
    BookRef book_;
    std::size_t index_;
};

// What a range counts and indexes by: its cells, or (as Rows and Columns hand it out) its rows or columns.
enum class RangeMode { Cells, Rows, Columns };

// The makers, each defined in its object's file.
ObjectRef makeApplication(std::shared_ptr<AppState> app);
ObjectRef makeWorkbooks(std::shared_ptr<AppState> app);
// Item `index` (1-based) of the application's open workbooks; "Subscript out of range" otherwise.
ObjectRef workbookItem(const std::shared_ptr<AppState>& app, const Variant& index);
ObjectRef makeWorkbook(BookRef book);
ObjectRef makeSheet(const SheetRef& sheet);
ObjectRef makeRange(const SheetRef& sheet, const CellRange& range, RangeMode mode = RangeMode::Cells);
// The cells of `object` when it is a Range of this binding.
std::optional<CellRange> rangeOfObject(const automation::Object& object);
ObjectRef makeFont(const SheetRef& sheet, const CellRange& range);
ObjectRef makeInterior(const SheetRef& sheet, const CellRange& range);
// No edge: every edge of every cell (the Borders collection itself).
ObjectRef makeBorders(const SheetRef& sheet, const CellRange& range, std::optional<Edge> edge);

}  // namespace rw::chart::binding
