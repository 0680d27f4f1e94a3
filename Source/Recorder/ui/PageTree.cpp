#include "PageTree.h"

#include <algorithm>

namespace TreePropSheet
{
std::vector<std::string> SplitPageTitle(const std::string& title)
{
    std::vector<std::string> segments;
    std::string segment;
    for (size_t i = 0; i < title.size(); ++i)
    {
        if (title.compare(i, 3, "\\::") == 0)
        {
            segment += "::";
            i += 2;
        }
        else if (title.compare(i, 2, "\\\\") == 0)
        {
            segment += '\\';
            i += 1;
        }
        else if (title.compare(i, 2, "::") == 0)
        {
            segments.push_back(segment);
            segment.clear();
            i += 1;
        }
        else
        {
            segment += title[i];
        }
    }
    segments.push_back(segment);
    return segments;
}

int CPageTree::AddPage(const std::string& title, int nPage)
{
    int nParent = NoNode;
    for (const std::string& segment : SplitPageTitle(title))
    {
        const std::vector<int>& siblings = nParent == NoNode ? m_roots : m_nodes[static_cast<size_t>(nParent)].children;
        auto found = std::find_if(siblings.begin(), siblings.end(),
                                  [&](int n) { return m_nodes[static_cast<size_t>(n)].text == segment; });
        if (found != siblings.end())
        {
            nParent = *found;
            continue;
        }
        Node node;
        node.text = segment;
        node.nParent = nParent;
        m_nodes.push_back(node);
        int nNew = static_cast<int>(m_nodes.size()) - 1;
        if (nParent == NoNode)
            m_roots.push_back(nNew);
        else
            m_nodes[static_cast<size_t>(nParent)].children.push_back(nNew);
        nParent = nNew;
    }
    // A second page with the same title takes over the node; the sheet shows the last one.
    m_nodes[static_cast<size_t>(nParent)].nPage = nPage;
    return nParent;
}

int CPageTree::FindPageNode(int nPage) const
{
    for (size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].nPage == nPage)
            return static_cast<int>(i);
    return NoNode;
}

int CPageTree::FindPath(const std::vector<std::string>& segments) const
{
    int nNode = NoNode;
    for (const std::string& segment : segments)
    {
        const std::vector<int>& siblings = nNode == NoNode ? m_roots : GetNode(nNode).children;
        auto found = std::find_if(siblings.begin(), siblings.end(), [&](int n) { return GetNode(n).text == segment; });
        if (found == siblings.end())
            return NoNode;
        nNode = *found;
    }
    return nNode;
}

const std::vector<int>& CPageTree::SiblingsOf(int nNode) const
{
    int nParent = GetNode(nNode).nParent;
    return nParent == NoNode ? m_roots : GetNode(nParent).children;
}

int CPageTree::LastDescendant(int nNode) const
{
    while (!GetNode(nNode).children.empty())
        nNode = GetNode(nNode).children.back();
    return nNode;
}

int CPageTree::GetNext(int nNode) const
{
    if (m_roots.empty())
        return NoNode;
    if (nNode == NoNode)
        return m_roots.front();
    if (!GetNode(nNode).children.empty())
        return GetNode(nNode).children.front();
    for (int n = nNode; n != NoNode; n = GetNode(n).nParent)
    {
        const std::vector<int>& siblings = SiblingsOf(n);
        auto it = std::find(siblings.begin(), siblings.end(), n);
        if (it + 1 != siblings.end())
            return *(it + 1);
    }
    return m_roots.front();
}

int CPageTree::GetPrevious(int nNode) const
{
    if (m_roots.empty())
        return NoNode;
    if (nNode == NoNode)
        return LastDescendant(m_roots.back());
    const std::vector<int>& siblings = SiblingsOf(nNode);
    auto it = std::find(siblings.begin(), siblings.end(), nNode);
    if (it != siblings.begin())
        return LastDescendant(*(it - 1));
    if (GetNode(nNode).nParent != NoNode)
        return GetNode(nNode).nParent;
    return LastDescendant(m_roots.back());
}
}  // namespace TreePropSheet
