// Linked into every test executable of a ThreadSanitizer build.
//
// Qt comes from the distribution, built without ThreadSanitizer: the locks
// and atomics with which it hands work between threads are invisible, so every
// value that travels through a future's continuation, the thread pool or a
// queued call looks unsynchronised. The executable defines the few Qt entry
// points at which these hand-offs begin and end (its own definitions take
// precedence over the library's for every call made from the executable),
// tells ThreadSanitizer about the synchronisation Qt performs there, and
// forwards to the library. Nothing else changes: races between our own
// threads, and with anything that is not such a hand-off, are still reported.

#include <QFutureInterface>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrentiteratekernel.h>
#include <QtConcurrent/qtconcurrentthreadengine.h>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <sanitizer/tsan_interface.h>

namespace {

// The library's own definition of a Qt function.
template <typename Function> Function libraryFunction(const char* mangledName) {
    static_assert(sizeof(Function) == sizeof(void*));
    void* const symbol = dlvsym(RTLD_NEXT, mangledName, "Qt_6");
    if (!symbol)
        std::abort();
    return reinterpret_cast<Function>(symbol);
}

// One synchronisation point per future: the state its handles share, which
// is the one data member after the virtual table (null once moved from).
void* futureToken(const QFutureInterfaceBase& future) {
    static_assert(sizeof(QFutureInterfaceBase) == 2 * sizeof(void*));
    void* state = nullptr;
    std::memcpy(&state, reinterpret_cast<const char*>(&future) + sizeof(void*), sizeof state);
    return state;
}

void acquire(void* token) {
    if (token)
        __tsan_acquire(token);
}

void release(void* token) {
    if (token)
        __tsan_release(token);
}

// A continuation is stored on one thread and run on the one that finishes its
// parent future, or destroyed by the one that drops the future first. Running
// synchronises with the store through the parent future and also, as
// destruction does (it has no future at hand), through one point shared by
// all continuations.
char continuationStored;

struct SynchronisedContinuation {
    std::function<void(const QFutureInterfaceBase&)> run;
    void operator()(const QFutureInterfaceBase& parent) {
        acquire(futureToken(parent));
        __tsan_acquire(&continuationStored);
        run(parent);
    }
    explicit SynchronisedContinuation(std::function<void(const QFutureInterfaceBase&)> function)
        : run(std::move(function)) {}
    SynchronisedContinuation(const SynchronisedContinuation&) = default; // std::function wants it
    SynchronisedContinuation(SynchronisedContinuation&&) = default;
    ~SynchronisedContinuation() { __tsan_acquire(&continuationStored); }
};

// Pool tasks: started on one thread, run on another, waited for on a third.
// The pool gives a task no identity on its own thread before it runs, so all
// tasks share one point for their start and one for their end.
char taskStarted;
char taskFinished;

// A task of QThreadPool::start(std::function).
struct SynchronisedTask {
    std::function<void()> run;
    void operator()() {
        __tsan_acquire(&taskStarted);
        run();
        __tsan_release(&taskFinished);
    }
};

// A queued (or direct) call: synchronises with the caller before the call
// object is used, and the thread that destroys it with the one that called it.
class SynchronisedSlot : public QtPrivate::QSlotObjectBase {
public:
    explicit SynchronisedSlot(QtPrivate::QSlotObjectBase* inner)
        : QSlotObjectBase(&impl), inner_(inner) {
        __tsan_release(this);
    }

private:
    static void impl(int which, QSlotObjectBase* base, QObject* receiver, void** arguments,
                     bool* result) {
        auto* const self = static_cast<SynchronisedSlot*>(base);
        __tsan_acquire(self);
        switch (which) {
        case Call:
            self->inner_->call(receiver, arguments);
            __tsan_release(self);
            break;
        case Compare:
            *result = self->inner_->compare(arguments);
            break;
        case Destroy:
            self->inner_->destroyIfLastRef();
            delete self;
            break;
        }
    }

    QtPrivate::QSlotObjectBase* const inner_;
};

} // namespace

void QFutureInterfaceBase::setContinuation(std::function<void(const QFutureInterfaceBase&)> func,
                                           QFutureInterfaceBasePrivate* continuationFutureData) {
    using Original =
        void (*)(QFutureInterfaceBase*, std::function<void(const QFutureInterfaceBase&)>,
                 QFutureInterfaceBasePrivate*);
    static const auto original =
        libraryFunction<Original>("_ZN20QFutureInterfaceBase15setContinuationESt8functionIFvRKS_"
                                  "EEP27QFutureInterfaceBasePrivate");
    std::function<void(const QFutureInterfaceBase&)> continuation =
        SynchronisedContinuation(std::move(func));
    release(futureToken(*this));
    __tsan_release(&continuationStored);
    original(this, std::move(continuation), continuationFutureData);
}

// Handles of one future are dropped on different threads; the last one
// destroys the results that others reported.
bool QFutureInterfaceBase::derefT() const {
    using Original = bool (*)(const QFutureInterfaceBase*);
    static const auto original = libraryFunction<Original>("_ZNK20QFutureInterfaceBase6derefTEv");
    void* const token = futureToken(*this);
    release(token);
    const bool referenced = original(this);
    if (!referenced)
        acquire(token);
    return referenced;
}

// On the pool's thread a task of QtConcurrent::run first asks whether it was
// cancelled, and a continuation launched on the pool first reports that it
// started.
bool QFutureInterfaceBase::isCanceled() const {
    using Original = bool (*)(const QFutureInterfaceBase*);
    static const auto original =
        libraryFunction<Original>("_ZNK20QFutureInterfaceBase10isCanceledEv");
    __tsan_acquire(&taskStarted);
    return original(this);
}

void QFutureInterfaceBase::reportStarted() {
    using Original = void (*)(QFutureInterfaceBase*);
    static const auto original =
        libraryFunction<Original>("_ZN20QFutureInterfaceBase13reportStartedEv");
    __tsan_acquire(&taskStarted);
    original(this);
}

void QThreadPool::start(QRunnable* runnable, int priority) {
    using Original = void (*)(QThreadPool*, QRunnable*, int);
    static const auto original = libraryFunction<Original>("_ZN11QThreadPool5startEP9QRunnablei");
    __tsan_release(&taskStarted);
    original(this, runnable, priority);
}

void QThreadPool::start(std::function<void()> functionToRun, int priority) {
    using Original = void (*)(QThreadPool*, std::function<void()>, int);
    static const auto original =
        libraryFunction<Original>("_ZN11QThreadPool5startESt8functionIFvvEEi");
    std::function<void()> task = SynchronisedTask{std::move(functionToRun)};
    __tsan_release(&taskStarted);
    original(this, std::move(task), priority);
}

bool QThreadPool::waitForDone(int msecs) {
    using Original = bool (*)(QThreadPool*, int);
    static const auto original = libraryFunction<Original>("_ZN11QThreadPool11waitForDoneEi");
    const bool done = original(this, msecs);
    __tsan_acquire(&taskFinished);
    return done;
}

// QtConcurrent's map: the engine is started on the pool (QThreadPool::start
// above) and enters each of its threads through run(); every block of items
// is handed back when the thread has worked on it (timeAfterUser), and the
// thread that waits for the future takes them all.
void QtConcurrent::ThreadEngineBase::run() {
    using Original = void (*)(ThreadEngineBase*);
    static const auto original =
        libraryFunction<Original>("_ZN12QtConcurrent16ThreadEngineBase3runEv");
    __tsan_acquire(&taskStarted);
    original(this);
}

void QtConcurrent::BlockSizeManager::timeAfterUser() {
    using Original = void (*)(BlockSizeManager*);
    static const auto original =
        libraryFunction<Original>("_ZN12QtConcurrent16BlockSizeManager13timeAfterUserEv");
    __tsan_release(&taskFinished);
    original(this);
}

void QFutureInterfaceBase::waitForFinished() {
    using Original = void (*)(QFutureInterfaceBase*);
    static const auto original =
        libraryFunction<Original>("_ZN20QFutureInterfaceBase15waitForFinishedEv");
    original(this);
    acquire(futureToken(*this));
    __tsan_acquire(&taskFinished);
}

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot,
                                   Qt::ConnectionType type, void* ret) {
    using Original = bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*);
    static const auto original =
        libraryFunction<Original>("_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotO"
                                  "bjectBaseEN2Qt14ConnectionTypeEPv");
    return original(object, new SynchronisedSlot(slot), type, ret);
}
