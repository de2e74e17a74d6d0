"""The one message assertion of the suites: a refusal is checked by its
exception type and its exact text."""


class MessageAssertions(object):
    """Mixed into a TestCase before unittest.TestCase."""

    def assertFails(self, exc, message, fn, *args):
        """fn(*args) raises exc whose text is exactly message; returns the
        exception for further checks."""
        with self.assertRaises(exc) as caught:
            fn(*args)
        self.assertEqual(str(caught.exception), message, (fn, args))
        return caught.exception
