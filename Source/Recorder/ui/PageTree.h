// The page tree of the tree property sheet, without any window: titles split
// into "::" segments, the nodes they make, and the Ctrl+Tab walking order.
// Main thread only, like the sheet that owns it.
#pragma once
#include <string>
#include <vector>

namespace TreePropSheet
{
// Splits a page title into its path segments. "::" separates segments;
// "\::" is a literal "::" and "\\" a backslash inside a segment. Any other
// backslash stays as it is.
std::vector<std::string> SplitPageTitle(const std::string& title);

class CPageTree
{
public:
    static constexpr int NoNode = -1;
    static constexpr int NoPage = -1;

    struct Node
    {
        std::string text;
        int nPage = NoPage;       // index of the page the node carries, or NoPage
        int nParent = NoNode;
        std::vector<int> children;
    };

    // Places the page below the nodes its title names, creating the missing
    // ones at the end of their parent's children. Returns the page's node.
    int AddPage(const std::string& title, int nPage);
    void Clear() { m_nodes.clear(); m_roots.clear(); }

    const Node& GetNode(int nNode) const { return m_nodes[static_cast<size_t>(nNode)]; }
    size_t GetNodeCount() const { return m_nodes.size(); }
    const std::vector<int>& GetRoots() const { return m_roots; }
    int FindPageNode(int nPage) const;
    // The node reached by following the segments from the top, or NoNode.
    int FindPath(const std::vector<std::string>& segments) const;

    // Ctrl+Tab: depth first, wrapping from the last node to the first top-level node.
    int GetNext(int nNode) const;
    // Ctrl+Shift+Tab: the reverse, wrapping from the first node to the last node of the tree.
    int GetPrevious(int nNode) const;

private:
    const std::vector<int>& SiblingsOf(int nNode) const;
    int LastDescendant(int nNode) const;

    std::vector<Node> m_nodes;
    std::vector<int> m_roots;
};
}  // namespace TreePropSheet
