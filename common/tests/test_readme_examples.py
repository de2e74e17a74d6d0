"""The interactive examples of README.md, run as they stand: each `>>>` block
must print what the README shows."""
import doctest
import os
import re
import unittest

from dialect import python2_only

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'README.md')


def readme_examples():
    text = open(README).read()
    # Indented blocks (four spaces) that hold at least one prompt.
    blocks = re.findall(r'((?:\n    [^\n]*)+)', text)
    return '\n'.join(re.sub(r'\n    ', '\n', b) for b in blocks if '>>>' in b)


class TestReadmeExamples(unittest.TestCase):
    @python2_only('the examples are Python 2.7 sessions: print statements, floats printed '
                  'to 12 digits, the bare type names')
    def test_every_example_prints_what_the_readme_shows(self):
        test = doctest.DocTestParser().get_doctest(readme_examples(), {}, 'README.md', README, 0)
        self.assertGreater(len(test.examples), 20)
        runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
        runner.run(test)
        self.assertEqual(runner.failures, 0, 'README examples disagree with the modules')


if __name__ == '__main__':
    unittest.main()
