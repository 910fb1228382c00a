// The compiled part of the Python package: a thin pybind11 layer over the
// C interface (kesti/kesti.h). Everything users read (options, errors,
// docstrings, records) is in Python, in kesti/__init__.py; this module
// takes and gives UTF-8 bytes, and releases the GIL while converting.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "api/vocabulary.h"
#include "kesti/kesti.h"

namespace py = pybind11;

namespace {

struct ConverterHandle {
    kesti_converter* converter = nullptr;
    ~ConverterHandle() { kesti_close(converter); }
};

// Converts one text onto the end of `arena`, from `used` on, grown as it
// needs; the GIL must be released by the caller. Returns the status, and
// the new end in `used` or (for malformed UTF-8) the offset in `offset`.
kesti_status ConvertOnto(const kesti_converter* c, std::string_view text, std::string& arena, std::size_t& used,
                         std::size_t& offset, kesti_report** report) {
    auto room = [&](std::size_t need) {
        if (arena.size() - used < need) arena.resize(std::max(arena.size() * 2, used + need));
    };
    room(text.size() * 2 + 64);
    std::size_t length = 0;
    kesti_status status =
        kesti_convert(c, text.data(), text.size(), arena.data() + used, arena.size() - used, &length, report);
    if (status == KESTI_ERROR_OUTPUT_TOO_SMALL) {
        room(length + 1);
        status = kesti_convert(c, text.data(), text.size(), arena.data() + used, arena.size() - used, &length, report);
    }
    if (status == KESTI_OK) {
        used += length;
    } else {
        offset = length;
    }
    return status;
}

// Converts one text into `out` (see ConvertOnto).
kesti_status ConvertOne(const kesti_converter* c, std::string_view text, std::string& out, std::size_t& offset,
                        kesti_report** report) {
    std::size_t used = 0;
    out.clear();
    const kesti_status status = ConvertOnto(c, text, out, used, offset, report);
    out.resize(used);
    return status;
}

// A share of a batch, converted by one thread into its own buffer.
struct Share {
    std::size_t begin = 0, end = 0;  // the items
    std::string arena;
    std::vector<std::size_t> ends;  // each item's end in the arena
    kesti_status status = KESTI_OK;
    std::size_t offset = 0;  // where the item that failed did
};

// Converts a share's items in one call, which converts many to a scope;
// no exception leaves it, since it may run on a thread of its own.
void ConvertShare(const kesti_converter* c, const std::vector<std::string_view>& inputs, Share& share) noexcept {
    try {
        const std::size_t count = share.end - share.begin;
        std::vector<const char*> texts(count);
        std::vector<std::size_t> sizes(count);
        std::size_t total = 0;
        for (std::size_t i = 0; i < count; ++i) {
            texts[i] = inputs[share.begin + i].data();
            sizes[i] = inputs[share.begin + i].size();
            total += sizes[i];
        }
        share.ends.resize(count);
        share.arena.resize(total * 2 + 64);
        std::size_t length = 0, failed = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (attempt) share.arena.resize(length + 1);
            share.status = kesti_convert_many(c, texts.data(), sizes.data(), count, share.arena.data(),
                                              share.arena.size(), share.ends.data(), &length, &failed);
            if (share.status != KESTI_ERROR_OUTPUT_TOO_SMALL) break;
        }
        if (share.status != KESTI_OK) share.offset = length;
    } catch (...) {
        share.status = KESTI_ERROR_NO_MEMORY;
    }
}

// A batch is shared among threads only where each gets this many items at
// least: starting a thread, and the words its converter reads for the first
// time on it, cost about as much as converting a few hundred strings. Each
// thread keeps a few megabytes of words while it converts: no more threads
// than kMostThreads.
constexpr std::size_t kItemsPerThread = 4096;
constexpr std::size_t kMostThreads = 32;

// The threads to convert `count` items on: `asked`, or with 0 as many as the
// processor runs at once, each with kItemsPerThread items or more.
unsigned ThreadsFor(std::size_t count, unsigned asked) {
    const std::size_t threads = asked ? asked : std::min<std::size_t>(std::thread::hardware_concurrency(),
                                                                       count / kItemsPerThread);
    return static_cast<unsigned>(std::max<std::size_t>(1, std::min({threads, count, kMostThreads})));
}

// Converts the items in contiguous shares, one on the calling thread (whose
// converter has most likely read their words before) and each other on a
// thread of its own; where a thread cannot be started, its share is
// converted on the calling thread. The shares' results are the items' in
// order, as one thread would give them: a conversion depends on its item
// alone.
std::vector<Share> ConvertShared(const kesti_converter* c, const std::vector<std::string_view>& inputs,
                                 unsigned threads) {
    std::vector<Share> shares(threads);
    for (unsigned k = 0; k < threads; ++k) {
        shares[k].begin = inputs.size() * k / threads;
        shares[k].end = inputs.size() * (k + 1) / threads;
    }
    // Nothing may throw once a thread runs, or it would be left unjoined.
    std::vector<std::thread> started;
    std::vector<Share*> here{&shares[0]};
    started.reserve(threads);
    here.reserve(threads);
    for (unsigned k = 1; k < threads; ++k) {
        try {
            started.emplace_back(ConvertShare, c, std::cref(inputs), std::ref(shares[k]));
        } catch (...) {
            here.push_back(&shares[k]);
        }
    }
    for (Share* share : here) ConvertShare(c, inputs, *share);
    for (std::thread& t : started) t.join();
    return shares;
}

[[noreturn]] void Raise(kesti_status status, std::size_t offset) {
    if (status == KESTI_ERROR_INVALID_UTF8)
        throw py::value_error("invalid UTF-8 at byte offset " + std::to_string(offset));
    if (status == KESTI_ERROR_NO_MEMORY) throw std::bad_alloc();
    throw std::runtime_error(kesti_status_message(status));
}

std::string_view View(const py::bytes& b) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(b.ptr(), &data, &size) != 0) throw py::error_already_set();
    return {data, static_cast<std::size_t>(size)};
}

}  // namespace

PYBIND11_MODULE(_kesti, m) {
    m.doc() = "The compiled core of kesti; use the kesti package, not this module.";

    py::class_<ConverterHandle, std::shared_ptr<ConverterHandle>>(m, "Handle");

    // The options' words and the values the C interface gives them, from
    // the library's one table: {"tones": {"marks": 0, ...}, ...}, the
    // first word of each the default.
    py::dict choices;
    for (const kesti::Choice& choice : kesti::kChoices) {
        py::dict words;
        for (std::size_t i = 0; i < choice.count; ++i) words[choice.words[i].word] = choice.words[i].value;
        choices[choice.option] = words;
    }
    m.attr("CHOICES") = choices;

    // Returns (handle or None, status, errno or line, path, message).
    m.def("open", [](int mode, const py::dict& chosen, int lines, const std::string& tables,
                     const std::vector<std::string>& added) {
        kesti_options options;
        kesti_options_init(&options);
        options.mode = mode;
        for (const kesti::Choice& choice : kesti::kChoices)
            if (chosen.contains(choice.option))
                *kesti::ChoiceField(options, choice) = chosen[choice.option].cast<int>();
        options.lines = lines;
        options.table_dir = tables.c_str();
        std::vector<const char*> paths;
        for (const std::string& path : added) paths.push_back(path.c_str());
        options.add_tables = paths.data();
        options.add_table_count = paths.size();
        auto handle = std::make_shared<ConverterHandle>();
        kesti_error error;
        kesti_status status;
        {
            py::gil_scoped_release unlocked;
            status = kesti_open(&options, &handle->converter, &error);
        }
        py::object made = status == KESTI_OK ? py::cast(handle) : py::none();
        return py::make_tuple(made, static_cast<int>(status), error.system_error, std::string(error.path),
                              std::string(kesti_status_message(status)));
    });

    m.def("convert", [](const ConverterHandle& h, const py::bytes& text) {
        const std::string_view input = View(text);
        std::string out;
        std::size_t offset = 0;
        kesti_status status;
        {
            py::gil_scoped_release unlocked;
            status = ConvertOne(h.converter, input, out, offset, nullptr);
        }
        if (status != KESTI_OK) Raise(status, offset);
        return py::bytes(out);
    });

    // Converts a list of str with the GIL released for the whole batch, on
    // `threads` threads (0: as ConvertShared decides). Each item is read
    // through its UTF-8 form, which Python keeps with the str (an ASCII str
    // is its own), and each result made a str directly: no bytes object per
    // item either way. The items are held while the GIL is released, since
    // another thread may change the list meanwhile.
    m.def("convert_many", [](const ConverterHandle& h, const py::list& texts, unsigned threads) {
        const std::size_t count = texts.size();
        std::vector<py::object> held;
        std::vector<std::string_view> inputs;
        held.reserve(count);
        inputs.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            PyObject* item = PyList_GET_ITEM(texts.ptr(), static_cast<Py_ssize_t>(i));
            if (!PyUnicode_Check(item))
                throw py::type_error("item " + std::to_string(i) + " must be a str, not " + Py_TYPE(item)->tp_name);
            Py_ssize_t size = 0;
            // A lone surrogate has no UTF-8: UnicodeEncodeError, with its place.
            const char* data = PyUnicode_AsUTF8AndSize(item, &size);
            if (!data) throw py::error_already_set();
            held.push_back(py::reinterpret_borrow<py::object>(item));
            inputs.emplace_back(data, static_cast<std::size_t>(size));
        }
        std::vector<Share> shares;
        {
            py::gil_scoped_release unlocked;
            shares = ConvertShared(h.converter, inputs, ThreadsFor(count, threads));
        }
        // The first item that failed, as one thread would have stopped there.
        for (const Share& share : shares)
            if (share.status != KESTI_OK) Raise(share.status, share.offset);
        py::list result(count);
        for (const Share& share : shares) {
            for (std::size_t i = share.begin, begin = 0; i < share.end; begin = share.ends[i - share.begin], ++i) {
                const std::size_t end = share.ends[i - share.begin];
                PyObject* text =
                    PyUnicode_DecodeUTF8(share.arena.data() + begin, static_cast<Py_ssize_t>(end - begin), "strict");
                if (!text) throw py::error_already_set();
                PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(i), text);
            }
        }
        return result;
    });

    // The text and its report: (bytes, [(line, column, original, result,
    // decision, ambiguous, alternatives), ...]).
    m.def("report", [](const ConverterHandle& h, const py::bytes& text) {
        const std::string_view input = View(text);
        std::string out;
        std::size_t offset = 0;
        kesti_report* report = nullptr;
        kesti_status status;
        {
            py::gil_scoped_release unlocked;
            status = ConvertOne(h.converter, input, out, offset, &report);
        }
        if (status != KESTI_OK) Raise(status, offset);
        std::unique_ptr<kesti_report, void (*)(kesti_report*)> owned(report, kesti_report_free);
        py::list records;
        for (std::size_t i = 0; i < kesti_report_size(report); ++i) {
            kesti_record r;
            kesti_report_record(report, i, &r);
            records.append(py::make_tuple(r.line, r.column, py::bytes(r.original), py::bytes(r.result),
                                          std::string(r.decision_name), r.ambiguous != 0, py::bytes(r.alternatives)));
        }
        return py::make_tuple(py::bytes(out), records);
    });
}
