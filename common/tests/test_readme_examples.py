"""The interactive examples of README.md, run as they stand under the
interpreter that runs this suite: each `>>>` block must print what the
README shows. An example whose prompt line ends in `# Python 2.7` or
`# Python 3` shows that interpreter's printed form and runs only there."""
import __future__
import doctest
import io
import os
import re
import sys
import unittest

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'README.md')
# The trailing comment that marks an example as one interpreter's.
DIALECT_MARK = re.compile(r'#\s*Python (2\.7|3)\s*$', re.M)
THIS_DIALECT = '3' if sys.version_info[0] >= 3 else '2.7'


def readme_examples():
    """The text of every indented block (four spaces) that holds a prompt."""
    with io.open(README, encoding='utf-8') as f:
        text = f.read()
    if sys.version_info[0] < 3:
        text = text.encode('utf-8')  # the examples as native strings
    blocks = re.findall(r'((?:\n    [^\n]*)+)', text)
    return '\n'.join(re.sub(r'\n    ', '\n', b) for b in blocks if '>>>' in b)


def for_this_interpreter(examples):
    """The examples unmarked or marked for this interpreter, in order."""
    kept = []
    for example in examples:
        mark = DIALECT_MARK.search(example.source)
        if mark is None or mark.group(1) == THIS_DIALECT:
            kept.append(example)
    return kept


class TestReadmeExamples(unittest.TestCase):
    def test_every_example_prints_what_the_readme_shows(self):
        parser = doctest.DocTestParser()
        # The README's sessions start with `from __future__ import
        # print_function`; doctest takes a future feature from the globals.
        globs = {'print_function': __future__.print_function}
        test = parser.get_doctest(readme_examples(), globs, 'README.md', README, 0)
        every = len(test.examples)
        test.examples = for_this_interpreter(test.examples)
        self.assertGreater(len(test.examples), 20)
        self.assertLess(len(test.examples), every, 'no example is marked for one interpreter')
        runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
        runner.run(test)
        self.assertEqual(runner.failures, 0, 'README examples disagree with the modules')

    def test_both_interpreters_have_the_marked_examples(self):
        # Each interpreter's marked example has its counterpart for the other.
        marks = DIALECT_MARK.findall(readme_examples())
        self.assertEqual(marks.count('2.7'), marks.count('3'))


if __name__ == '__main__':
    unittest.main()
