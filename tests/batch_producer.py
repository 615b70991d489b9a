"""A column of strings exported by hand through the Arrow PyCapsule interface.

Every struct it hands out (schema, array, stream) carries a token in
`private_data`; its release callback records the token, so a test can check
that each one was released exactly once, whatever path the consumer took.
It can also be told to fail: refuse the schema, fail a chunk, declare another
type, or describe an array with the wrong number of buffers.
"""

import ctypes
import errno
import itertools
from collections import Counter
from ctypes import CFUNCTYPE, POINTER, Structure, c_char_p, c_int, c_int32, c_int64, c_uint8, c_void_p


class ArrowSchema(Structure):
    pass


class ArrowArray(Structure):
    pass


class ArrowArrayStream(Structure):
    pass


RELEASE_SCHEMA = CFUNCTYPE(None, POINTER(ArrowSchema))
RELEASE_ARRAY = CFUNCTYPE(None, POINTER(ArrowArray))
RELEASE_STREAM = CFUNCTYPE(None, POINTER(ArrowArrayStream))
GET_SCHEMA = CFUNCTYPE(c_int, POINTER(ArrowArrayStream), POINTER(ArrowSchema))
GET_NEXT = CFUNCTYPE(c_int, POINTER(ArrowArrayStream), POINTER(ArrowArray))
GET_LAST_ERROR = CFUNCTYPE(c_void_p, POINTER(ArrowArrayStream))
CAPSULE_DESTRUCTOR = CFUNCTYPE(None, c_void_p)

ArrowSchema._fields_ = [
    ("format", c_char_p), ("name", c_char_p), ("metadata", c_char_p), ("flags", c_int64),
    ("n_children", c_int64), ("children", POINTER(POINTER(ArrowSchema))), ("dictionary", POINTER(ArrowSchema)),
    ("release", RELEASE_SCHEMA), ("private_data", c_void_p),
]
ArrowArray._fields_ = [
    ("length", c_int64), ("null_count", c_int64), ("offset", c_int64), ("n_buffers", c_int64),
    ("n_children", c_int64), ("buffers", POINTER(c_void_p)), ("children", POINTER(POINTER(ArrowArray))),
    ("dictionary", POINTER(ArrowArray)), ("release", RELEASE_ARRAY), ("private_data", c_void_p),
]
ArrowArrayStream._fields_ = [
    ("get_schema", GET_SCHEMA), ("get_next", GET_NEXT), ("get_last_error", GET_LAST_ERROR),
    ("release", RELEASE_STREAM), ("private_data", c_void_p),
]

_new_capsule = ctypes.pythonapi.PyCapsule_New
_new_capsule.restype = ctypes.py_object
_new_capsule.argtypes = [c_void_p, c_char_p, c_void_p]
_capsule_pointer = ctypes.pythonapi.PyCapsule_GetPointer
_capsule_pointer.restype = c_void_p
_capsule_pointer.argtypes = [c_void_p, c_char_p]

# name -> (capsule name, struct type); the destructor releases what nobody took.
_CAPSULES = {"schema": b"arrow_schema", "array": b"arrow_array", "stream": b"arrow_array_stream"}
_STRUCTS = {"schema": ArrowSchema, "array": ArrowArray, "stream": ArrowArrayStream}


def _make_destructor(kind):
    name, struct = _CAPSULES[kind], _STRUCTS[kind]

    def destroy(capsule):
        exported = ctypes.cast(_capsule_pointer(capsule, name), POINTER(struct))
        if exported.contents.release:
            exported.contents.release(exported)

    return CAPSULE_DESTRUCTOR(destroy)


_DESTRUCTORS = {kind: _make_destructor(kind) for kind in _CAPSULES}
_tokens = itertools.count(1)


class _Producer:
    """Exports `chunks` (lists of str/None) as a string column."""

    def __init__(self, chunks, *, format=b"u", fail_schema=False, fail_at=None, n_buffers=3):
        self.chunks = chunks
        self.format = format
        self.fail_schema = fail_schema
        self.fail_at = fail_at
        self.n_buffers = n_buffers
        self.made = Counter()  # kind -> structs handed out
        self.released = Counter()  # kind -> release calls
        self.released_twice = []
        self._kind_of = {}  # token -> kind, until released
        self._alive = {}  # token -> ctypes objects its buffers live in
        self._message = ctypes.create_string_buffer(b"")
        self._callbacks = (
            RELEASE_SCHEMA(self._release), RELEASE_ARRAY(self._release), RELEASE_STREAM(self._release),
            GET_SCHEMA(self._get_schema), GET_NEXT(self._get_next), GET_LAST_ERROR(self._get_last_error),
        )
        self._next_chunk = 0

    def all_released_once(self):
        return not self.released_twice and not self._kind_of and self.made == self.released

    # --- the structs ---------------------------------------------------------

    def _token(self, kind, keep):
        token = next(_tokens)
        self.made[kind] += 1
        self._kind_of[token] = kind
        self._alive[token] = keep
        return token

    def _release(self, pointer):
        token = pointer.contents.private_data
        pointer.contents.release = type(pointer.contents.release)()  # null: released
        kind = self._kind_of.pop(token, None)
        if kind is None:
            self.released_twice.append(token)
        else:
            self.released[kind] += 1
            del self._alive[token]  # may free the struct itself: nothing touches it after this

    def _fill_schema(self, schema):
        schema.format = self.format
        schema.name = b"values"
        schema.metadata = None
        schema.flags = 2
        schema.n_children = 0
        schema.children = None
        schema.dictionary = None
        schema.release = self._callbacks[0]
        schema.private_data = self._token("schema", None)

    def _fill_array(self, array, texts):
        encoded = [t.encode() if t is not None else b"" for t in texts]
        offsets = (c_int32 * (len(texts) + 1))(*itertools.accumulate(map(len, encoded), initial=0))
        data = ctypes.create_string_buffer(b"".join(encoded) or b"\0")
        validity = (c_uint8 * ((len(texts) + 7) // 8 or 1))()
        for i, t in enumerate(texts):
            if t is not None:
                validity[i >> 3] |= 1 << (i & 7)
        buffers = (c_void_p * 3)(ctypes.addressof(validity), ctypes.addressof(offsets), ctypes.addressof(data))
        array.length = len(texts)
        array.null_count = texts.count(None)
        array.offset = 0
        array.n_buffers = self.n_buffers
        array.n_children = 0
        array.buffers = ctypes.cast(buffers, POINTER(c_void_p))
        array.children = None
        array.dictionary = None
        array.release = self._callbacks[1]
        array.private_data = self._token("array", (offsets, data, validity, buffers))

    # --- the stream callbacks ------------------------------------------------

    def _fail(self, code, message):
        self._message = ctypes.create_string_buffer(message.encode())
        return code

    def _get_schema(self, stream, out):
        if self.fail_schema:
            return self._fail(errno.EINVAL, "the producer refused to describe its column")
        self._fill_schema(out.contents)
        return 0

    def _get_next(self, stream, out):
        index = self._next_chunk
        self._next_chunk += 1
        if index == self.fail_at:
            return self._fail(errno.EIO, f"chunk {index} could not be read")
        if index >= len(self.chunks):
            out.contents.release = RELEASE_ARRAY()  # released: the end
            return 0
        self._fill_array(out.contents, self.chunks[index])
        return 0

    def _get_last_error(self, stream):
        return ctypes.addressof(self._message)

    def _capsule(self, kind, struct):
        return _new_capsule(ctypes.addressof(struct), _CAPSULES[kind], ctypes.cast(_DESTRUCTORS[kind], c_void_p))


class CountingProducer(_Producer):
    """The column as a stream of its chunks, through __arrow_c_stream__."""

    def __arrow_c_stream__(self, requested_schema=None):
        stream = ArrowArrayStream()
        stream.get_schema, stream.get_next, stream.get_last_error = self._callbacks[3:]
        stream.release = self._callbacks[2]
        stream.private_data = self._token("stream", stream)
        self._next_chunk = 0
        return self._capsule("stream", stream)


class CountingArrayProducer(_Producer):
    """The column as one array, through __arrow_c_array__ only."""

    def __arrow_c_array__(self, requested_schema=None):
        schema, array = ArrowSchema(), ArrowArray()
        self._fill_schema(schema)
        self._fill_array(array, [t for chunk in self.chunks for t in chunk])
        self._alive[schema.private_data] = schema
        self._alive[array.private_data] = (self._alive[array.private_data], array)
        return self._capsule("schema", schema), self._capsule("array", array)
