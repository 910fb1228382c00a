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
// the new end in `used` or (for malformed UTF-8) the offset in `offset`. A
// batch's results share one buffer this way, not an allocation each.
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

    // Converts a list of str with the GIL released for the whole batch. Each
    // item is read through its UTF-8 form, which Python keeps with the str
    // (an ASCII str is its own), and each result made a str directly: no
    // bytes object per item either way. The items are held while the GIL is
    // released, since another thread may change the list meanwhile.
    m.def("convert_many", [](const ConverterHandle& h, const py::list& texts) {
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
        std::string arena;
        std::vector<std::size_t> ends(count);
        kesti_status status = KESTI_OK;
        std::size_t used = 0, offset = 0;
        {
            py::gil_scoped_release unlocked;
            for (std::size_t i = 0; i < count && status == KESTI_OK; ++i) {
                status = ConvertOnto(h.converter, inputs[i], arena, used, offset, nullptr);
                ends[i] = used;
            }
        }
        if (status != KESTI_OK) Raise(status, offset);
        py::list result(count);
        for (std::size_t i = 0, begin = 0; i < count; begin = ends[i++]) {
            PyObject* text =
                PyUnicode_DecodeUTF8(arena.data() + begin, static_cast<Py_ssize_t>(ends[i] - begin), "strict");
            if (!text) throw py::error_already_set();
            PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(i), text);
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
