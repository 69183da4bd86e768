#!/usr/bin/env python3
"""Generates the OpenGL 1.1 binding from the system's <GL/gl.h>.

Reads the declarations that come before the header's "OpenGL 1.2" section (the 336 entry
points of OpenGL 1.1, their types and constants) and writes:
  <out>/include/GL/gl.h   what programs include: types, constants and one PFNGL...PROC pointer
                          type per entry point; no prototypes, since programs bind by name
  <out>/gl_entries.cpp    the entry table: name, the system's function, a wrapper that
                          records the call in the trace before making it, and for the calls
                          that deal in pixels the version that draws at the render scale
  <out>/gl11_names.txt    the 336 names in alphabetical order
"""
import re
import sys
from pathlib import Path

# The calls that take or give sizes and positions in pixels, or read or write pixels of the
# back buffer: scaled.cpp has a version of each for a back buffer drawn at n times the
# program's size.
SCALED = {
    'glBitmap', 'glCopyPixels', 'glCopyTexImage1D', 'glCopyTexImage2D', 'glCopyTexSubImage1D',
    'glCopyTexSubImage2D', 'glDrawPixels', 'glGetBooleanv', 'glGetDoublev', 'glGetFloatv',
    'glGetIntegerv', 'glLineStipple', 'glLineWidth', 'glPointSize', 'glPolygonOffset',
    'glReadPixels', 'glScissor', 'glViewport',
}

VECTOR_SUFFIX = re.compile(r'([234])(b|s|i|f|d|ub|us|ui)v$')


def read_section(header_text):
    end = header_text.find('* OpenGL 1.2')
    if end < 0:
        sys.exit('generate.py: no "OpenGL 1.2" section in the GL header')
    return header_text[:end]


def parse_functions(section):
    functions = []
    pattern = re.compile(r'^GLAPI\s+(.+?)\s*GLAPIENTRY\s+(gl\w+)\s*\((.*?)\)\s*;', re.S | re.M)
    for match in pattern.finditer(section):
        ret = ' '.join(match.group(1).split())
        name = match.group(2)
        params_text = ' '.join(match.group(3).split())
        params = []
        if params_text and params_text != 'void':
            for raw in params_text.split(','):
                raw = raw.strip()
                m = re.match(r'(.*?)(\w+)$', raw)
                ptype, pname = m.group(1).strip(), m.group(2)
                params.append((ptype, pname))
        functions.append((ret, name, params))
    return functions


def parse_constants(section):
    constants = []
    for match in re.finditer(r'^#define\s+(GL_\w+)\s+(\S+)', section, re.M):
        name, value = match.groups()
        if name.startswith('GL_VERSION_') or name == 'GL_ARB_imaging':
            continue
        constants.append((name, value))
    return constants


def formatter(ptype, pname, fname):
    """The trace formatter call for one argument."""
    t = ptype.replace(' ', '')
    if '*' in t:
        m = VECTOR_SUFFIX.search(fname)
        if t.startswith('const') and fname in ('glLoadMatrixf', 'glMultMatrixf', 'glLoadMatrixd', 'glMultMatrixd'):
            return f'line.values({pname}, 16)'
        if t.startswith('const') and m and t.count('*') == 1 and 'GLvoid' not in t:
            return f'line.values({pname}, {m.group(1)})'
        return f'line.pointer({pname})'
    return {
        'GLenum': f'line.hex({pname})',
        'GLbitfield': f'line.hex({pname})',
        'GLboolean': f'line.unsignedValue({pname})',
        'GLubyte': f'line.unsignedValue({pname})',
        'GLushort': f'line.unsignedValue({pname})',
        'GLuint': f'line.unsignedValue({pname})',
        'GLbyte': f'line.signedValue({pname})',
        'GLshort': f'line.signedValue({pname})',
        'GLint': f'line.signedValue({pname})',
        'GLsizei': f'line.signedValue({pname})',
        'GLfloat': f'line.real({pname})',
        'GLclampf': f'line.real({pname})',
        'GLdouble': f'line.real({pname})',
        'GLclampd': f'line.real({pname})',
    }[t]


def result_formatter(ret):
    t = ret.replace(' ', '')
    if '*' in t:
        return 'line.pointerResult(result)'
    if t == 'GLenum':
        return 'line.hexResult(result)'
    return 'line.valueResult(result)'


def write_program_header(path, functions, constants, types):
    lines = [
        '// OpenGL 1.1 as programs that bind "opengl32.dll" by name see it: types, constants and',
        '// one pointer type per entry point. Generated from the system <GL/gl.h>; do not edit.',
        '#pragma once',
        '',
        '#ifndef APIENTRY',
        '#define APIENTRY',
        '#endif',
        '#ifndef WINGDIAPI',
        '#define WINGDIAPI',
        '#endif',
        '',
        '#ifdef __cplusplus',
        'extern "C" {',
        '#endif',
        '',
    ]
    lines += types
    lines.append('')
    lines += [f'#define {name} {value}' for name, value in constants]
    lines.append('')
    for ret, name, params in functions:
        plist = ', '.join(f'{t} {n}' if not t.endswith('*') else f'{t}{n}' for t, n in params) or 'void'
        lines.append(f'typedef {ret} (APIENTRY *PFN{name.upper()}PROC)({plist});')
    lines += [
        '',
        '// Compiled vertex arrays (GL_EXT_compiled_vertex_array), found with wglGetProcAddress.',
        '#define GL_ARRAY_ELEMENT_LOCK_FIRST_EXT 0x81A8',
        '#define GL_ARRAY_ELEMENT_LOCK_COUNT_EXT 0x81A9',
        'typedef void (APIENTRY *PFNGLLOCKARRAYSEXTPROC)(GLint first, GLsizei count);',
        'typedef void (APIENTRY *PFNGLUNLOCKARRAYSEXTPROC)(void);',
        '// Vertex array range (GL_NV_vertex_array_range).',
        'typedef void (APIENTRY *PFNGLFLUSHVERTEXARRAYRANGENVPROC)(void);',
        'typedef void (APIENTRY *PFNGLVERTEXARRAYRANGENVPROC)(GLsizei length, const GLvoid *pointer);',
        'typedef void *(APIENTRY *PFNWGLALLOCATEMEMORYNVPROC)(GLsizei size, GLfloat readfreq, GLfloat writefreq, GLfloat priority);',
        'typedef void (APIENTRY *PFNWGLFREEMEMORYNVPROC)(void *pointer);',
        '// Clip volume hint (GL_EXT_clip_volume_hint).',
        '#define GL_CLIP_VOLUME_CLIPPING_HINT_EXT 0x80F0',
        '',
        '#ifdef __cplusplus',
        '}',
        '#endif',
        '',
    ]
    path.write_text('\n'.join(lines))


def write_entries(path, functions):
    out = [
        '// Generated from the system <GL/gl.h> by platform/gl/generate.py; do not edit.',
        '#include <GL/gl.h>',
        '',
        '#include "entries.h"',
        '#include "trace.h"',
        '',
        'namespace gl_standin {',
        'namespace scaled {',
        '',
    ]
    for ret, name, params in functions:
        if name in SCALED:
            plist = ', '.join(f'{t} {n}' for t, n in params) or 'void'
            out.append(f'{ret} APIENTRY {name}({plist});')
    out += [
        '',
        '}  // namespace scaled',
        'namespace {',
        '',
    ]
    for ret, name, params in functions:
        plist = ', '.join(f'{t} {n}' for t, n in params) or 'void'
        args = ', '.join(n for _, n in params)
        call = f'scaled::{name}' if name in SCALED else f'::{name}'
        body = []
        if ret == 'void':
            body.append('    if (trace::recording()) {')
            body.append(f'        trace::Line line("{name}");')
            body += [f'        {formatter(t, n, name)};' for t, n in params]
            body.append('    }')
            body.append(f'    {call}({args});')
        else:
            body.append(f'    {ret} result = {call}({args});')
            body.append('    if (trace::recording()) {')
            body.append(f'        trace::Line line("{name}");')
            body += [f'        {formatter(t, n, name)};' for t, n in params]
            body.append(f'        {result_formatter(ret)};')
            body.append('    }')
            body.append('    return result;')
        out.append(f'{ret} APIENTRY traced_{name}({plist}) {{')
        out += body
        out.append('}')
        out.append('')
    out.append('}  // namespace')
    out.append('')
    out.append(f'const Entry openGL11Entries[{len(functions)}] = {{')
    for ret, name, params in functions:
        scaled = f'reinterpret_cast<void*>(&scaled::{name})' if name in SCALED else 'nullptr'
        out.append(f'    {{"{name}", reinterpret_cast<void*>(&::{name}), reinterpret_cast<void*>(&traced_{name}), {scaled}}},')
    out.append('};')
    out.append('')
    out.append('}  // namespace gl_standin')
    out.append('')
    path.write_text('\n'.join(out))


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: generate.py <system GL/gl.h> <output directory>')
    header = Path(sys.argv[1]).read_text()
    section = read_section(header)
    functions = sorted(parse_functions(section), key=lambda f: f[1])
    if len(functions) != 336:
        sys.exit(f'generate.py: expected the 336 entry points of OpenGL 1.1, found {len(functions)}')
    missing = SCALED - {name for _, name, _ in functions}
    if missing:
        sys.exit(f'generate.py: no OpenGL 1.1 entry points named {sorted(missing)}')
    constants = parse_constants(section)
    types = re.findall(r'^typedef [^(]*?;.*$', section, re.M)
    types = [t.split('/*')[0].rstrip() for t in types]
    out = Path(sys.argv[2])
    (out / 'include' / 'GL').mkdir(parents=True, exist_ok=True)
    write_program_header(out / 'include' / 'GL' / 'gl.h', functions, constants, types)
    write_entries(out / 'gl_entries.cpp', functions)
    (out / 'gl11_names.txt').write_text(''.join(f'{name}\n' for _, name, _ in functions))


if __name__ == '__main__':
    main()
